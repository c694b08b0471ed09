// A launcher started for one test and the window it shows, found as a user would find it.
#pragma once

#include "e2e_support.h"

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <ostream>
#include <string>

namespace tessivar::e2e {

enum class LauncherButton { Word, Excel, PowerPoint };

struct ExpectedButton {
    LauncherButton button;
    const wchar_t* text;
    RECT rect;  // client coordinates: left, top, right, bottom
};

// The three buttons in tab order, as the user sees them.
inline constexpr std::array<ExpectedButton, 3> kExpectedButtons = {{
    {LauncherButton::Word, L"打开WORD", {24, 32, 24 + 136, 32 + 88}},
    {LauncherButton::Excel, L"打开Excel", {200, 32, 200 + 136, 32 + 88}},
    {LauncherButton::PowerPoint, L"打开-PowerPoint", {24, 144, 24 + 312, 144 + 56}},
}};

inline constexpr SIZE kLauncherSize = {364, 251};

const char* ButtonName(LauncherButton button);
void PrintTo(LauncherButton button, std::ostream* out);
std::string Narrow(const std::wstring& text);
std::string DescribeWindow(HWND hwnd);

// The child button of the launcher window that carries the button's text, or nullptr.
HWND FindButton(HWND launcher, LauncherButton button);

// Everything a user or tester can see of the launcher window, as one set of expectations.
void ExpectLauncherWindowAsDesigned(const LauncherProcess& process, HWND launcher);

class RunningLauncher : public ::testing::Test {
protected:
    void SetUp() override { Launch({TestOptions().tessivar}); }

    // Starts the program and waits until its window is shown and in the foreground.
    void Launch(LauncherProcess::StartInfo info);

    HWND Button(LauncherButton button) const { return FindButton(m_window, button); }
    HWND Focus() const { return FocusOf(m_process->ThreadId()); }
    // Waits (bounded) for the focus to be on the button; false if it does not get there.
    bool FocusArrivesAt(LauncherButton button) const;
    // Presses Tab until the button has the focus (at most once round).
    void FocusButton(LauncherButton button);
    // Waits for the launcher to be the foreground window again.
    bool LauncherInForeground() const;

    std::unique_ptr<LauncherProcess> m_process;
    HWND m_window = nullptr;
};

}  // namespace tessivar::e2e
