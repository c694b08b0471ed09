#include "applications.h"

namespace tessivar {

namespace {

// Word ApplicationEvents2: Quit, DocumentOpen, DocumentBeforeClose, DocumentBeforePrint,
// DocumentBeforeSave, NewDocument.
constexpr DISPID kWordEvents[] = {2, 4, 6, 7, 8, 9};
// Excel AppEvents: SheetActivate, SheetDeactivate, WorkbookOpen, WorkbookActivate, WorkbookDeactivate,
// WorkbookBeforeClose, WorkbookBeforeSave, WorkbookBeforePrint, WorkbookNewSheet.
constexpr DISPID kExcelEvents[] = {0x619, 0x61A, 0x61F, 0x620, 0x621, 0x622, 0x623, 0x624, 0x625};
// PowerPoint EApplication: WindowSelectionChange through PresentationPrint.
constexpr DISPID kPowerPointEvents[] = {2001, 2002, 2003, 2004, 2005, 2006, 2007, 2008,
                                        2009, 2010, 2011, 2012, 2013, 2014, 2015};

}  // namespace

const ApplicationDescription kWord = {
    .progId = L"Word.Application",
    .eventInterface = {0x000209FE, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}},
    .forwardedEvents = kWordEvents,
    .visible = 23,
    .visibleShape = VisibleShape::BoolTrue,
    .collection = 6,
    .takesAddFlag = true,
    .add = 14,
    .addArguments = AddArguments::FourByRefOmitted,
    .keepAdded = true,
    .bookkeeping = Bookkeeping::ParentSelection,
};

const ApplicationDescription kExcel = {
    .progId = L"Excel.Application",
    .eventInterface = {0x00024413, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}},
    .forwardedEvents = kExcelEvents,
    .visible = 558,
    .visibleShape = VisibleShape::BoolTrue,
    .collection = 572,
    .takesAddFlag = false,
    .add = 181,
    .addArguments = AddArguments::OneOmitted,
    .keepAdded = false,
    .bookkeeping = Bookkeeping::ApplicationSheetsFirst,
};

const ApplicationDescription kPowerPoint = {
    .progId = L"PowerPoint.Application",
    .eventInterface = {0x914934C2, 0x5A91, 0x11CF, {0x87, 0x00, 0x00, 0xAA, 0x00, 0x60, 0x26, 0x3B}},
    .forwardedEvents = kPowerPointEvents,
    .visible = 2030,
    .visibleShape = VisibleShape::I4One,
    .collection = 2001,
    .takesAddFlag = true,
    .add = 2003,
    .addArguments = AddArguments::OneI4One,
    .keepAdded = true,
    .bookkeeping = Bookkeeping::None,
};

}  // namespace tessivar
