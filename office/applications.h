// What differs between the three Office applications, as data. One application component and
// one collection component serve all three, driven by these descriptions.
#pragma once

#include <oaidl.h>
#include <windows.h>

#include <span>

namespace tessivar {

enum class VisibleShape {
    BoolTrue,  // VT_BOOL VARIANT_TRUE
    I4One,     // VT_I4 1
};

enum class AddArguments {
    FourByRefOmitted,  // Documents.Add(Template, NewTemplate, DocumentType, Visible), each by reference
    OneOmitted,        // Workbooks.Add(Template)
    OneI4One,          // Presentations.Add(WithWindow := 1)
};

enum class Bookkeeping {
    None,
    ParentSelection,         // Documents.Parent, then its Selection, which is held
    ApplicationSheetsFirst,  // Application, its Sheets and Sheets.Item(1), all held
};

struct ApplicationDescription {
    const wchar_t* progId;
    IID eventInterface;
    std::span<const DISPID> forwardedEvents;
    DISPID visible;
    VisibleShape visibleShape;
    DISPID collection;
    bool takesAddFlag;
    DISPID add;
    AddArguments addArguments;
    bool keepAdded;
    Bookkeeping bookkeeping;
};

inline constexpr DISPID kDispidParent = 1002;
inline constexpr DISPID kDispidSelection = 5;
inline constexpr DISPID kDispidApplication = 148;
inline constexpr DISPID kDispidSheets = 485;
inline constexpr DISPID kDispidItem = 170;

extern const ApplicationDescription kWord;
extern const ApplicationDescription kExcel;
extern const ApplicationDescription kPowerPoint;

}  // namespace tessivar
