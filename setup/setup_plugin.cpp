// The setup program's plug-in (NSIS plug-in interface, Unicode): hands the script's plan to
// file_changes and the outcome back on the script's stack.
//
//   melvo_setup::Install <plan file> <record file>
//   melvo_setup::Uninstall <record file>
//
// Both leave, from the top: "done", "busy" or "failed"; the message (empty when done); the size of
// the recorded files in KiB; the number of report lines; the report lines.
#include "file_changes.h"

#include <windows.h>
#include <nsis/pluginapi.h>

#include <vector>

namespace {

std::wstring popText()
{
    std::vector<wchar_t> text(g_stringsize + 1, L'\0');
    if (popstring(text.data()) != 0) return L"";
    return text.data();
}

void pushOutcome(const setup::Outcome& outcome)
{
    for (auto line = outcome.report.rbegin(); line != outcome.report.rend(); ++line) pushstring(line->c_str());
    pushint(static_cast<int>(outcome.report.size()));
    pushint(static_cast<int>((outcome.recordedBytes + 1023) / 1024));
    pushstring(outcome.message.c_str());
    switch (outcome.status) {
    case setup::Outcome::Done:   pushstring(L"done"); break;
    case setup::Outcome::Busy:   pushstring(L"busy"); break;
    case setup::Outcome::Failed: pushstring(L"failed"); break;
    }
}

}  // namespace

extern "C" __declspec(dllexport) void __cdecl Install(HWND, int string_size, LPTSTR variables, stack_t** stacktop,
                                                      void*)
{
    EXDLL_INIT();
    const std::wstring planPath = popText();
    const std::wstring recordPath = popText();
    std::vector<setup::Entry> plan;
    if (!setup::readEntries(planPath, &plan)) {
        setup::Outcome outcome;
        outcome.status = setup::Outcome::Failed;
        outcome.message = L"The setup's plan " + planPath + L" cannot be read. Nothing has been changed.";
        pushOutcome(outcome);
        return;
    }
    pushOutcome(setup::install(plan, recordPath));
}

extern "C" __declspec(dllexport) void __cdecl Uninstall(HWND, int string_size, LPTSTR variables, stack_t** stacktop,
                                                        void*)
{
    EXDLL_INIT();
    pushOutcome(setup::uninstall(popText()));
}

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
