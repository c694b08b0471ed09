// Where and how the launcher is started changes nothing but its current directory, which becomes the
// folder of its executable.
#include "launcher_fixture.h"

namespace tessivar::e2e {
namespace {

struct StartCase {
    const char* name;
    // Folder and file name of a copy of the program in a fresh folder; empty: the program where it was built.
    const wchar_t* copyFolder;
    const wchar_t* copyName;
    const wchar_t* arguments;
};

void PrintTo(const StartCase& start, std::ostream* out)
{
    *out << start.name;
}

class StartUp : public RunningLauncher, public ::testing::WithParamInterface<StartCase> {
protected:
    void SetUp() override {}
    // The program ends before its folder is removed.
    void TearDown() override { m_process.reset(); }

    TemporaryFolder m_temp;
};

TEST_P(StartUp, CurrentDirectoryBecomesTheProgramFolder)
{
    const StartCase& start = GetParam();
    if (const UINT codePage = TestOptions().expectedCodePage) {
        ASSERT_EQ(GetACP(), codePage) << "the run is not set up with the code page it expects";
    }

    std::wstring exe = TestOptions().tessivar;
    ASSERT_FALSE(exe.empty()) << "the driver needs --tessivar=PATH";
    if (start.copyFolder != nullptr) {
        const std::wstring folder = m_temp.MakeFolder(start.copyFolder);
        ASSERT_NE(GetFileAttributesW(folder.c_str()), INVALID_FILE_ATTRIBUTES)
            << "cannot make the folder " << Narrow(folder);
        const std::wstring copy = folder + L"\\" + start.copyName;
        ASSERT_TRUE(CopyFileW(exe.c_str(), copy.c_str(), TRUE)) << "cannot copy the program to " << Narrow(copy);
        exe = copy;
    }
    // Started from somewhere else than the program's folder.
    const std::wstring startIn = m_temp.MakeFolder(L"elsewhere");
    ASSERT_NO_FATAL_FAILURE(Launch({exe, start.arguments, startIn}));

    const auto commandLine = RemoteCommandLine(m_process->Handle());
    ASSERT_TRUE(commandLine.has_value()) << "cannot read the process parameters";
    EXPECT_EQ(*commandLine, L"\"" + exe + L"\"" + (*start.arguments ? L" " : L"") + start.arguments);

    const auto currentDirectory = RemoteCurrentDirectory(m_process->Handle());
    ASSERT_TRUE(currentDirectory.has_value()) << "cannot read the process parameters";
    EXPECT_EQ(Narrow(*currentDirectory), Narrow(FolderOf(exe) + L"\\"));

    ExpectLauncherWindowAsDesigned(*m_process, m_window);
    EXPECT_TRUE(FocusArrivesAt(LauncherButton::Word));
}

// 昞 is 95 5C in code page 936: its second byte is a backslash to anything that reads the path byte by
// byte without knowing the code page. In the exe's own name it would be taken for the last separator.
INSTANTIATE_TEST_SUITE_P(StartUp, StartUp,
                         ::testing::Values(StartCase{"WhereBuilt", nullptr, nullptr, L""},
                                           StartCase{"WithArguments", nullptr, nullptr, L"/x --foo bar"},
                                           StartCase{"FolderWithTrailByte5C", L"昞dir", L"Tessivar.exe", L""},
                                           StartCase{"ExeNameWithTrailByte5C", L"昞dir", L"昞.exe", L"/x --foo bar"}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tessivar::e2e
