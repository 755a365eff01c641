// The setup's file changes on a tree of its own: what an install places, keeps and saves, what a
// reinstall and an uninstall leave, and that every refusal leaves the tree exactly as it was.
#include "file_changes.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <shellapi.h>

#include <fstream>
#include <iterator>
#include <map>
#include <string>

namespace {

using setup::Entry;
using setup::EntryKind;
using setup::Outcome;

std::string readAll(const std::wstring& path)
{
    std::ifstream file(path.c_str(), std::ios::binary);
    if (!file) return "<missing>";
    return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

void writeAll(const std::wstring& path, const std::string& text)
{
    std::ofstream(path.c_str(), std::ios::binary) << text;
}

bool exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Every file and folder below root with its content ("<dir>" for folders).
void snapshot(const std::wstring& root, std::map<std::wstring, std::string>* tree)
{
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((root + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        const std::wstring path = root + L"\\" + name;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            (*tree)[path] = "<dir>";
            snapshot(path, tree);
        } else {
            (*tree)[path] = readAll(path);
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

std::map<std::wstring, std::string> snapshot(const std::wstring& root)
{
    std::map<std::wstring, std::string> tree;
    snapshot(root, &tree);
    return tree;
}

// The paths whose presence or content differs, for the failure message.
std::string differences(const std::map<std::wstring, std::string>& a, const std::map<std::wstring, std::string>& b)
{
    std::string text;
    auto note = [&text](const std::wstring& path) { text += " " + std::string(path.begin(), path.end()); };
    for (const auto& entry : a)
        if (!b.count(entry.first) || b.at(entry.first) != entry.second) note(entry.first);
    for (const auto& entry : b)
        if (!a.count(entry.first)) note(entry.first);
    return text;
}

bool reportHas(const Outcome& outcome, const std::wstring& start)
{
    for (const std::wstring& line : outcome.report)
        if (line.compare(0, start.size(), start) == 0) return true;
    return false;
}

// A scratch tree: "payload" holds the setup's files, "windows" plays the Windows folder, with a
// camera software's library in its system folder and Wine's sane.ds in its twain_64 folder.
class FileChanges : public ::testing::Test {
protected:
    void SetUp() override
    {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        root_ = std::wstring(temp) + L"melvo-setup-test-" + std::to_wstring(GetCurrentProcessId());
        for (const wchar_t* folder : {L"", L"\\payload", L"\\windows", L"\\windows\\system32", L"\\windows\\twain_64"})
            CreateDirectoryW((root_ + folder).c_str(), nullptr);
        writeAll(at(L"payload\\LX3TWS32.ds"), "source v2");
        writeAll(at(L"payload\\VX1CM32.dll"), "stand-in 1");
        writeAll(at(L"payload\\VX3CM32.dll"), "stand-in 3");
        writeAll(at(L"windows\\system32\\VX1CM32.dll"), "camera software's own");
        writeAll(at(L"windows\\twain_64\\sane.ds"), "wine's sane.ds");
        record_ = at(L"program\\installed-files.txt");
    }

    void TearDown() override
    {
        SHFILEOPSTRUCTW remove = {};
        const std::wstring from = root_ + L'\0';
        remove.wFunc = FO_DELETE;
        remove.pFrom = from.c_str();
        remove.fFlags = FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT;
        SHFileOperationW(&remove);
    }

    std::wstring at(const std::wstring& relative) const { return root_ + L"\\" + relative; }

    std::vector<Entry> fullPlan() const
    {
        return {
            {EntryKind::File, at(L"windows\\twain_64\\MELVO\\LX3TWS32.ds"), at(L"payload\\LX3TWS32.ds"), L"", {}},
            {EntryKind::StandIn, at(L"windows\\system32\\VX1CM32.dll"), at(L"payload\\VX1CM32.dll"), L"", {}},
            {EntryKind::StandIn, at(L"windows\\system32\\VX3CM32.dll"), at(L"payload\\VX3CM32.dll"), L"",
             {at(L"windows\\VX3CM32.dll")}},
            {EntryKind::Slot, at(L"windows\\twain_64\\sane.ds"), at(L"payload\\LX3TWS32.ds"),
             at(L"program\\sane.ds.saved"), {}},
        };
    }

    std::wstring root_;
    std::wstring record_;
};

TEST_F(FileChanges, InstallKeepsTheCameraSoftwaresLibraryAndSavesTheSlotAndUninstallPutsEverythingBack)
{
    const auto before = snapshot(at(L"windows"));

    Outcome installed = setup::install(fullPlan(), record_);
    ASSERT_EQ(installed.status, Outcome::Done) << std::string(installed.message.begin(), installed.message.end());
    EXPECT_EQ(readAll(at(L"windows\\twain_64\\MELVO\\LX3TWS32.ds")), "source v2");
    EXPECT_EQ(readAll(at(L"windows\\system32\\VX1CM32.dll")), "camera software's own");
    EXPECT_TRUE(reportHas(installed, L"Kept " + at(L"windows\\system32\\VX1CM32.dll")));
    EXPECT_EQ(readAll(at(L"windows\\system32\\VX3CM32.dll")), "stand-in 3");
    EXPECT_EQ(readAll(at(L"windows\\twain_64\\sane.ds")), "source v2");
    EXPECT_EQ(readAll(at(L"program\\sane.ds.saved")), "wine's sane.ds");
    EXPECT_GT(installed.recordedBytes, 0u);

    // Installed again with a newer source: the saved slot file stays Wine's, the stand-in is ours to replace.
    writeAll(at(L"payload\\LX3TWS32.ds"), "source v3");
    writeAll(at(L"payload\\VX3CM32.dll"), "stand-in 3, newer");
    ASSERT_EQ(setup::install(fullPlan(), record_).status, Outcome::Done);
    EXPECT_EQ(readAll(at(L"windows\\twain_64\\sane.ds")), "source v3");
    EXPECT_EQ(readAll(at(L"program\\sane.ds.saved")), "wine's sane.ds");
    EXPECT_EQ(readAll(at(L"windows\\system32\\VX3CM32.dll")), "stand-in 3, newer");

    // Without the slot and the stand-ins: the slot gets Wine's file back, the stand-in goes.
    const std::vector<Entry> plan = fullPlan();
    const std::vector<Entry> sourceOnly(plan.begin(), plan.begin() + 1);
    ASSERT_EQ(setup::install(sourceOnly, record_).status, Outcome::Done);
    EXPECT_EQ(readAll(at(L"windows\\twain_64\\sane.ds")), "wine's sane.ds");
    EXPECT_FALSE(exists(at(L"windows\\system32\\VX3CM32.dll")));

    ASSERT_EQ(setup::install(fullPlan(), record_).status, Outcome::Done);
    Outcome removed = setup::uninstall(record_);
    ASSERT_EQ(removed.status, Outcome::Done);
    EXPECT_EQ(differences(snapshot(at(L"windows")), before), "");
    EXPECT_FALSE(exists(at(L"program")));
}

TEST_F(FileChanges, RefusalsLeaveTheTreeAsItWas)
{
    ASSERT_EQ(setup::install(fullPlan(), record_).status, Outcome::Done);
    writeAll(at(L"payload\\LX3TWS32.ds"), "source v3");
    const auto installed = snapshot(root_);

    struct Case {
        const char* what;
        std::wstring blocker;  // a folder made where the change needs to put a file
        Outcome::Status expected;
        const wchar_t* says;
    };
    const Case cases[] = {
        // The source would be replaced, then the slot's file cannot be moved aside: the source goes back.
        {"a replacement failing after another was made", at(L"windows\\twain_64\\sane.ds.melvo-undo"),
         Outcome::Failed, L"Cannot replace "},
        {"a target folder that cannot be written (a file of its name)", at(L"windows\\twain_64\\MELVO2"),
         Outcome::Failed, L"MELVO2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<Entry> plan = fullPlan();
        if (c.blocker.find(L"MELVO2") != std::wstring::npos) {
            writeAll(c.blocker, "a file where a folder should be");
            plan.push_back({EntryKind::File, c.blocker + L"\\VXADP32.dll", at(L"payload\\VX1CM32.dll"), L"", {}});
        } else {
            CreateDirectoryW(c.blocker.c_str(), nullptr);
        }
        auto expectedTree = snapshot(root_);
        const Outcome outcome = setup::install(plan, record_);
        EXPECT_EQ(outcome.status, c.expected);
        EXPECT_NE(outcome.message.find(c.says), std::wstring::npos);
        EXPECT_NE(outcome.message.find(L"Nothing has been changed."), std::wstring::npos);
        EXPECT_EQ(differences(snapshot(root_), expectedTree), "");
        DeleteFileW(c.blocker.c_str());
        RemoveDirectoryW(c.blocker.c_str());
    }
    EXPECT_EQ(differences(snapshot(root_), installed), "");

    // A record that is not one.
    writeAll(record_, "not a list of files");
    EXPECT_EQ(setup::uninstall(record_).status, Outcome::Failed);
    EXPECT_EQ(setup::install(fullPlan(), record_).status, Outcome::Failed);
    DeleteFileW(record_.c_str());
    const Outcome noRecord = setup::uninstall(record_);
    EXPECT_EQ(noRecord.status, Outcome::Failed);
    EXPECT_NE(noRecord.message.find(record_), std::wstring::npos);
}

TEST_F(FileChanges, UninstallAfterFilesWereDeletedByHandRemovesTheRestAndSaysWhatWasGone)
{
    const auto before = snapshot(root_);
    ASSERT_EQ(setup::install(fullPlan(), record_).status, Outcome::Done);
    DeleteFileW(at(L"windows\\twain_64\\MELVO\\LX3TWS32.ds").c_str());
    DeleteFileW(at(L"program\\sane.ds.saved").c_str());

    const Outcome removed = setup::uninstall(record_);
    ASSERT_EQ(removed.status, Outcome::Done);
    EXPECT_TRUE(reportHas(removed, L"Already gone: " + at(L"windows\\twain_64\\MELVO\\LX3TWS32.ds")));
    EXPECT_TRUE(reportHas(removed, L"The saved copy of the file that was in " + at(L"windows\\twain_64\\sane.ds")));
    auto expected = before;
    expected.erase(at(L"windows\\twain_64\\sane.ds"));  // its saved copy was deleted by hand
    EXPECT_EQ(differences(snapshot(root_), expected), "");
}

TEST_F(FileChanges, AFileLoadedByAnotherProgramIsNamedAndNothingChanges)
{
    ASSERT_EQ(setup::install(fullPlan(), record_).status, Outcome::Done);
    // Another program (this test, started again) loads the installed stand-in, made a real library
    // (the codec, from the build's bin folder beside the tests' folder).
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    const std::wstring tests(self, std::wstring(self).find_last_of(L'\\'));
    const std::wstring library = at(L"windows\\system32\\VX3CM32.dll");
    ASSERT_TRUE(CopyFileW((tests + L"\\..\\bin\\VXADP32.dll").c_str(), library.c_str(), FALSE));
    const auto installed = snapshot(root_);

    std::wstring command = L"\"" + std::wstring(self) + L"\" --hold-library \"" + library + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION holder = {};
    ASSERT_TRUE(CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &holder));
    // The file is mapped (held) a moment before the loader lists the library among the holder's
    // modules: wait until the holder can be named.
    std::wstring holders;
    for (int i = 0; i < 200 && holders.find(L"(process") == std::wstring::npos; ++i, Sleep(50))
        holders = setup::holdersOf(library);

    const Outcome install = setup::install(fullPlan(), record_);
    const Outcome uninstall = setup::uninstall(record_);
    TerminateProcess(holder.hProcess, 0);
    WaitForSingleObject(holder.hProcess, 10000);
    CloseHandle(holder.hProcess);
    CloseHandle(holder.hThread);

    const std::wstring name = L"file_changes_test.exe (process " + std::to_wstring(holder.dwProcessId) + L")";
    EXPECT_EQ(holders, name);
    for (const Outcome* outcome : {&install, &uninstall}) {
        EXPECT_EQ(outcome->status, Outcome::Busy);
        EXPECT_NE(outcome->message.find(library), std::wstring::npos);
        EXPECT_NE(outcome->message.find(name), std::wstring::npos);
    }
    EXPECT_EQ(differences(snapshot(root_), installed), "");
    EXPECT_EQ(setup::holdersOf(library), L"");
    EXPECT_EQ(setup::uninstall(record_).status, Outcome::Done);
}

// Started as "--hold-library <path>": loads the library and waits to be ended.
const bool heldLibrary = [] {
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (count == 3 && std::wstring(arguments[1]) == L"--hold-library") {
        if (!LoadLibraryW(arguments[2])) ExitProcess(2);
        Sleep(INFINITE);
    }
    LocalFree(arguments);
    return true;
}();

}  // namespace
