// SPDX-License-Identifier: MIT
// tov-driver.exe: plays a user for tov-upgrade.exe under Wine. It starts the program, waits for
// each window by its title (bounded), logs the window's control texts, saves a screenshot, and
// answers with window messages, following a script of steps. Exit status 0 when every step held.
//
//   tov-driver.exe [--program EXE] [--log FILE] [--shots DIR] [SCRIPT_FILE] [-e STEP]...
//
// Steps, one per line ('#' starts a comment):
//   timeout MS            time limit for the next waiting step (default 30000)
//   expect TITLE          wait for a visible window of the program with exactly this title
//   expect-prefix TEXT    the same, for a title that begins with TEXT (titles that count up)
//   absent TITLE          fail if such a window shows up within the time limit
//   gone                  wait until the current window has closed
//   text ID TEXT          the current window's control ID reads TEXT (\r \n \\ escapes)
//   count ID N            the combo box ID holds N entries
//   item ID INDEX TEXT    entry INDEX of the combo box ID reads TEXT
//   focus ID              the keyboard focus is in control ID (or inside it)
//   centred               the current window stands in the middle of the screen
//   range ID LOW HIGH     the progress bar ID has this range
//   address A.B.C.D       puts the address into the IPv4 control IDC_ADDRESS_ENTRY
//   pick ID INDEX         selects entry INDEX of the combo box ID
//   type ID TEXT          sets the text of the edit control ID
//   press ID              presses the button ID (a posted WM_COMMAND, as a click sends)
//   click ID              clicks the control ID with posted mouse messages, as a user's click
//   key escape|enter      posts the key to the current dialog
//   close                 clicks the title bar's close box (SC_CLOSE)
//   sleep MS              waits
//   exit                  waits for the program to end and requires exit status 0
// A control ID is a name from the program's resource.h (IDC_PASSWORD), or IDOK or IDCANCEL.
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <fstream>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "resource.h"

namespace {

constexpr DWORD kDefaultTimeout = 30000;

struct Driver {
    std::wstring program;
    std::wstring shotsDir;
    FILE* log = nullptr;
    PROCESS_INFORMATION process{};
    HWND current = nullptr;
    std::wstring currentTitle;
    DWORD timeout = kDefaultTimeout;
    int shotCount = 0;
    std::set<std::pair<HWND, std::wstring>> seen; // every window and title met while waiting
};

std::wstring widen(const std::string& text) {
    if (text.empty())
        return {};
    const int n =
        ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
    return out;
}

std::string narrow(const std::wstring& text) {
    if (text.empty())
        return {};
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                        nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n,
                          nullptr, nullptr);
    return out;
}

// Unix paths from the shell become Wine's Z: drive paths.
std::wstring windowsPath(const std::string& path) {
    std::wstring out = widen(path);
    if (!out.empty() && out[0] == L'/') {
        for (wchar_t& c : out)
            if (c == L'/')
                c = L'\\';
        out = L"Z:" + out;
    }
    return out;
}

// Shows \r and \n visibly in the log, so each logged text stays on one line.
std::string escaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\\')
            out += "\\\\";
        else
            out += c;
    }
    return out;
}

std::string unescaped(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size()) {
            const char next = text[++i];
            out += next == 'r' ? '\r' : next == 'n' ? '\n' : next;
        } else {
            out += text[i];
        }
    }
    return out;
}

void say(Driver& d, const char* format, const std::string& a = {}, const std::string& b = {}) {
    char line[4096];
    std::snprintf(line, sizeof line, format, a.c_str(), b.c_str());
    std::fputs(line, stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
    if (d.log != nullptr) {
        std::fputs(line, d.log);
        std::fputc('\n', d.log);
        std::fflush(d.log);
    }
}

// Another process's window text, without hanging on a window that does not answer.
std::wstring windowText(HWND window) {
    DWORD_PTR length = 0;
    if (!::SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 2000, &length))
        return L"<no answer>";
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    ::SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                          SMTO_ABORTIFHUNG, 2000, &copied);
    text.resize(copied);
    return text;
}

std::wstring className(HWND window) {
    wchar_t name[128] = {};
    ::GetClassNameW(window, name, 128);
    return name;
}

int comboCount(HWND combo) {
    return static_cast<int>(::SendMessageW(combo, CB_GETCOUNT, 0, 0));
}

std::wstring comboItem(HWND combo, int index) {
    const LRESULT length = ::SendMessageW(combo, CB_GETLBTEXTLEN, index, 0);
    if (length == CB_ERR)
        return L"<none>";
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    ::SendMessageW(combo, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(length));
    return text;
}

struct WindowSearch {
    DWORD processId;
    const std::wstring* title; // nullptr: collect every visible window
    bool prefix;               // title is only the beginning
    HWND found;
    std::vector<HWND> all;
};

BOOL CALLBACK visitTopLevel(HWND window, LPARAM argument) {
    auto* search = reinterpret_cast<WindowSearch*>(argument);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    if (owner != search->processId || !::IsWindowVisible(window))
        return TRUE;
    if (search->title == nullptr) {
        search->all.push_back(window);
        return TRUE;
    }
    const std::wstring text = windowText(window);
    if (search->prefix ? text.rfind(*search->title, 0) == 0 : text == *search->title) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND findWindow(const Driver& d, const std::wstring& title, bool prefix) {
    WindowSearch search{d.process.dwProcessId, &title, prefix, nullptr, {}};
    ::EnumWindows(visitTopLevel, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

BOOL CALLBACK collectChild(HWND window, LPARAM argument) {
    reinterpret_cast<std::vector<HWND>*>(argument)->push_back(window);
    return TRUE;
}

void logWindow(Driver& d, HWND window) {
    say(d, "window: %s", narrow(windowText(window)));
    RECT frame;
    if (::GetWindowRect(window, &frame)) {
        char size[64];
        std::snprintf(size, sizeof size, "  size: %ld %ld", frame.right - frame.left,
                      frame.bottom - frame.top);
        say(d, "%s", size);
    }
    std::vector<HWND> children;
    ::EnumChildWindows(window, collectChild, reinterpret_cast<LPARAM>(&children));
    for (HWND child : children) {
        const std::wstring kind = className(child);
        char head[160];
        std::snprintf(head, sizeof head, "  control %d %s", ::GetDlgCtrlID(child),
                      narrow(kind).c_str());
        say(d, "%s: %s", head, escaped(narrow(windowText(child))));
        // Where the control stands in the dialog's client area, so runs can be compared.
        RECT box;
        if (::GetWindowRect(child, &box)) {
            ::MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&box), 2);
            char place[96];
            std::snprintf(place, sizeof place, "    place: %ld %ld %ld %ld", box.left, box.top,
                          box.right - box.left, box.bottom - box.top);
            say(d, "%s", place);
        }
        if (_wcsicmp(kind.c_str(), L"ComboBox") == 0) {
            const int count = comboCount(child);
            for (int i = 0; i < count; ++i)
                say(d, "    item: %s", narrow(comboItem(child, i)));
        }
    }
}

void logAllWindows(Driver& d) {
    WindowSearch search{d.process.dwProcessId, nullptr, false, nullptr, {}};
    ::EnumWindows(visitTopLevel, reinterpret_cast<LPARAM>(&search));
    for (HWND window : search.all)
        logWindow(d, window);
}

// Logs each window (and each new title of a window) of the program the first time it is seen, so
// the log also records windows that come and go between the steps.
void noteWindows(Driver& d) {
    WindowSearch search{d.process.dwProcessId, nullptr, false, nullptr, {}};
    ::EnumWindows(visitTopLevel, reinterpret_cast<LPARAM>(&search));
    for (HWND window : search.all) {
        // The caption as stored, without a message that a busy window would have to answer.
        wchar_t title[256] = {};
        ::GetWindowTextW(window, title, 256);
        if (d.seen.insert({window, title}).second)
            say(d, "seen: %s [%s]", narrow(title), narrow(className(window)));
    }
}

// Waits for the program to end, noting its windows meanwhile; false when the limit passed.
bool waitForExit(Driver& d, DWORD limit) {
    const DWORD start = ::GetTickCount();
    for (;;) {
        if (::WaitForSingleObject(d.process.hProcess, 50) == WAIT_OBJECT_0)
            return true;
        if (::GetTickCount() - start >= limit)
            return false;
        noteWindows(d);
    }
}

// Saves the window's area of the screen as a 24-bit BMP.
void saveScreenshot(Driver& d, HWND window, const std::wstring& title) {
    if (d.shotsDir.empty())
        return;
    ::RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    ::Sleep(300); // the program paints on its own thread
    RECT rect;
    if (!::GetWindowRect(window, &rect))
        return;
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0 || width > 4096 || height > 4096)
        return;
    HDC screen = ::GetDC(nullptr);
    HDC memory = ::CreateCompatibleDC(screen);
    HBITMAP bitmap = ::CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = ::SelectObject(memory, bitmap);
    ::BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    ::SelectObject(memory, old);

    BITMAPINFOHEADER info{};
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = height; // bottom-up, as BMP files store it
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    const DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
    std::vector<BYTE> pixels(static_cast<std::size_t>(stride) * height);
    ::GetDIBits(memory, bitmap, 0, height, pixels.data(), reinterpret_cast<BITMAPINFO*>(&info),
                DIB_RGB_COLORS);
    ::DeleteObject(bitmap);
    ::DeleteDC(memory);
    ::ReleaseDC(nullptr, screen);

    std::wstring name;
    for (wchar_t c : title)
        name += (iswalnum(c) || c == L'.' || c == L'-') ? c : L'_';
    wchar_t prefix[16];
    swprintf(prefix, 16, L"%02d-", ++d.shotCount);
    const std::wstring path = d.shotsDir + L"\\" + prefix + name + L".bmp";

    BITMAPFILEHEADER file{};
    file.bfType = 0x4d42; // "BM"
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + static_cast<DWORD>(pixels.size());
    HANDLE out = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out == INVALID_HANDLE_VALUE) {
        say(d, "  screenshot failed: %s", narrow(path));
        return;
    }
    DWORD written;
    ::WriteFile(out, &file, sizeof file, &written, nullptr);
    ::WriteFile(out, &info, sizeof info, &written, nullptr);
    ::WriteFile(out, pixels.data(), static_cast<DWORD>(pixels.size()), &written, nullptr);
    ::CloseHandle(out);
    say(d, "  screenshot: %s", narrow(path));
}

bool programRunning(const Driver& d) {
    return ::WaitForSingleObject(d.process.hProcess, 0) == WAIT_TIMEOUT;
}

// The ids the steps name controls by: the standard buttons and resource.h's IDC_ names (the
// table is made from resource.h at configure time).
struct ControlName {
    const char* name;
    int id;
};
constexpr ControlName kControlNames[] = {
    {"IDOK", IDOK},
    {"IDCANCEL", IDCANCEL},
#include "control_names.inc"
};

std::optional<int> controlId(const std::string& name) {
    for (const ControlName& entry : kControlNames)
        if (name == entry.name)
            return entry.id;
    return std::nullopt;
}

// Splits "first rest of line" at the first blank.
void splitFirst(const std::string& text, std::string& first, std::string& rest) {
    const std::size_t blank = text.find(' ');
    first = text.substr(0, blank);
    rest = blank == std::string::npos ? std::string() : text.substr(blank + 1);
}

// Waits up to `limit` for a window of the program with this title (or title prefix), noting
// every window meanwhile; nullptr when none came or the program ended first.
HWND waitForWindow(Driver& d, const std::wstring& title, bool prefix, DWORD limit) {
    const DWORD start = ::GetTickCount();
    HWND found = nullptr;
    while (::GetTickCount() - start < limit) {
        noteWindows(d);
        found = findWindow(d, title, prefix);
        if (found != nullptr || !programRunning(d))
            break;
        ::Sleep(50);
    }
    return found;
}

bool expectAbsent(Driver& d, const std::string& title, DWORD limit) {
    HWND found = waitForWindow(d, widen(title), false, limit);
    if (found == nullptr)
        return true;
    logWindow(d, found);
    say(d, "FAIL: a window appeared that should not: %s", title);
    return false;
}

// The window becomes the current one, logged and photographed.
bool expectWindow(Driver& d, const std::string& title, bool prefix, DWORD limit) {
    HWND found = waitForWindow(d, widen(title), prefix, limit);
    if (found == nullptr) {
        say(d,
            programRunning(d) ? "FAIL: no window \"%s\" in time"
                              : "FAIL: the program ended before \"%s\" appeared",
            title);
        if (programRunning(d))
            logAllWindows(d);
        return false;
    }
    d.current = found;
    d.currentTitle = windowText(found);
    ::Sleep(100); // let the dialog finish its own start
    logWindow(d, found);
    saveScreenshot(d, found, d.currentTitle);
    return true;
}

bool expectGone(Driver& d, DWORD limit) {
    const DWORD start = ::GetTickCount();
    while (::GetTickCount() - start < limit) {
        if (!::IsWindow(d.current) || !::IsWindowVisible(d.current))
            return true;
        noteWindows(d);
        ::Sleep(50);
    }
    say(d, "FAIL: window still open: %s", narrow(d.currentTitle));
    return false;
}

bool expectExit(Driver& d, DWORD limit) {
    if (!waitForExit(d, limit)) {
        say(d, "FAIL: the program is still running");
        logAllWindows(d);
        return false;
    }
    DWORD status = 1;
    ::GetExitCodeProcess(d.process.hProcess, &status);
    say(d, "exit status: %s", std::to_string(status));
    return status == 0;
}

bool checkCentred(Driver& d) {
    RECT rect;
    ::GetWindowRect(d.current, &rect);
    const int x = (::GetSystemMetrics(SM_CXSCREEN) - (rect.right - rect.left)) >> 1;
    const int y = (::GetSystemMetrics(SM_CYSCREEN) - (rect.bottom - rect.top)) >> 1;
    if (rect.left == x && rect.top == y)
        return true;
    say(d, "FAIL: window at %s, centred would be %s",
        std::to_string(rect.left) + "," + std::to_string(rect.top),
        std::to_string(x) + "," + std::to_string(y));
    return false;
}

bool pressKey(Driver& d, const std::string& key) {
    const WPARAM code = key == "escape" ? VK_ESCAPE : VK_RETURN;
    ::PostMessageW(d.current, WM_KEYDOWN, code, 1);
    ::PostMessageW(d.current, WM_KEYUP, code, 0xC0000001);
    return true;
}

bool enterAddress(Driver& d, const std::string& address) {
    unsigned a = 0, b = 0, c = 0, e = 0;
    if (std::sscanf(address.c_str(), "%u.%u.%u.%u", &a, &b, &c, &e) != 4)
        return false;
    HWND entry = ::GetDlgItem(d.current, IDC_ADDRESS_ENTRY);
    ::SendMessageW(entry, IPM_SETADDRESS, 0, MAKEIPADDRESS(a, b, c, e));
    return true;
}

// A step on one control of the current window: the control, its id and name, and the rest of
// the step after the name.
struct ControlStep {
    HWND target;
    int id;
    std::string name;
    std::string rest;
};

bool pressButton(Driver& d, const ControlStep& step) {
    ::PostMessageW(d.current, WM_COMMAND, MAKEWPARAM(step.id, BN_CLICKED),
                   reinterpret_cast<LPARAM>(step.target));
    return true;
}

bool checkFocus(Driver& d, const ControlStep& step) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    ::GetGUIThreadInfo(::GetWindowThreadProcessId(d.current, nullptr), &info);
    if (info.hwndFocus == step.target || ::IsChild(step.target, info.hwndFocus))
        return true;
    say(d, "FAIL: the focus is in control %s, expected %s",
        std::to_string(info.hwndFocus ? ::GetDlgCtrlID(info.hwndFocus) : 0), step.name);
    return false;
}

bool checkRange(Driver& d, const ControlStep& step) {
    const auto low = static_cast<int>(::SendMessageW(step.target, PBM_GETRANGE, TRUE, 0));
    const auto high = static_cast<int>(::SendMessageW(step.target, PBM_GETRANGE, FALSE, 0));
    const std::string actual = std::to_string(low) + " " + std::to_string(high);
    if (actual == step.rest)
        return true;
    say(d, "FAIL: progress range %s, expected %s", actual, step.rest);
    return false;
}

bool clickControl(Driver&, const ControlStep& step) {
    RECT rect;
    ::GetClientRect(step.target, &rect);
    const LPARAM middle = MAKELPARAM(rect.right / 2, rect.bottom / 2);
    ::PostMessageW(step.target, WM_LBUTTONDOWN, MK_LBUTTON, middle);
    ::PostMessageW(step.target, WM_LBUTTONUP, 0, middle);
    return true;
}

bool typeText(Driver&, const ControlStep& step) {
    const std::wstring text = widen(unescaped(step.rest));
    DWORD_PTR ignored;
    ::SendMessageTimeoutW(step.target, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                          SMTO_ABORTIFHUNG, 2000, &ignored);
    return true;
}

bool pickEntry(Driver&, const ControlStep& step) {
    ::SendMessageW(step.target, CB_SETCURSEL, std::atoi(step.rest.c_str()), 0);
    return true;
}

bool checkText(Driver& d, const ControlStep& step) {
    const std::string actual = narrow(windowText(step.target));
    if (actual == unescaped(step.rest))
        return true;
    say(d, "FAIL: control reads \"%s\", expected \"%s\"", escaped(actual), step.rest);
    return false;
}

bool checkCount(Driver& d, const ControlStep& step) {
    const int count = comboCount(step.target);
    if (count == std::atoi(step.rest.c_str()))
        return true;
    say(d, "FAIL: combo box holds %s entries, expected %s", std::to_string(count), step.rest);
    return false;
}

bool checkItem(Driver& d, const ControlStep& step) {
    std::string index, expected;
    splitFirst(step.rest, index, expected);
    const std::string actual = narrow(comboItem(step.target, std::atoi(index.c_str())));
    if (actual == expected)
        return true;
    say(d, "FAIL: entry reads \"%s\", expected \"%s\"", actual, expected);
    return false;
}

struct ControlCommand {
    const char* command;
    bool (*run)(Driver&, const ControlStep&);
};
constexpr ControlCommand kControlCommands[] = {
    {"press", pressButton},  {"focus", checkFocus}, {"range", checkRange},
    {"click", clickControl}, {"type", typeText},    {"pick", pickEntry},
    {"text", checkText},     {"count", checkCount}, {"item", checkItem},
};

// A step that names a control of the current window: "COMMAND ID [REST]".
bool runControlStep(Driver& d, const std::string& command, const std::string& argument,
                    const std::string& step) {
    const ControlCommand* found = nullptr;
    for (const ControlCommand& entry : kControlCommands)
        if (command == entry.command)
            found = &entry;
    if (found == nullptr) {
        say(d, "FAIL: unknown step: %s", step);
        return false;
    }
    ControlStep control{};
    splitFirst(argument, control.name, control.rest);
    const std::optional<int> id = controlId(control.name);
    if (!id) {
        say(d, "FAIL: no control named %s in resource.h", control.name);
        return false;
    }
    control.id = *id;
    control.target = ::GetDlgItem(d.current, control.id);
    if (control.target == nullptr) {
        say(d, "FAIL: no control %s", control.name);
        return false;
    }
    return found->run(d, control);
}

bool runStep(Driver& d, const std::string& step) {
    std::string command, argument;
    splitFirst(step, command, argument);
    say(d, "step: %s", step);
    // A time limit holds for the next step only.
    const DWORD limit = d.timeout;
    d.timeout = kDefaultTimeout;

    if (command == "timeout") {
        d.timeout = static_cast<DWORD>(std::strtoul(argument.c_str(), nullptr, 10));
        return true;
    }
    if (command == "sleep") {
        ::Sleep(static_cast<DWORD>(std::strtoul(argument.c_str(), nullptr, 10)));
        return true;
    }
    if (command == "expect" || command == "expect-prefix")
        return expectWindow(d, argument, command == "expect-prefix", limit);
    if (command == "absent")
        return expectAbsent(d, argument, limit);
    if (command == "gone")
        return expectGone(d, limit);
    if (command == "exit")
        return expectExit(d, limit);

    // The rest act on the current window.
    if (d.current == nullptr || !::IsWindow(d.current)) {
        say(d, "FAIL: no current window for: %s", step);
        return false;
    }
    if (command == "close") {
        ::PostMessageW(d.current, WM_SYSCOMMAND, SC_CLOSE, 0);
        return true;
    }
    if (command == "centred")
        return checkCentred(d);
    if (command == "key")
        return pressKey(d, argument);
    if (command == "address")
        return enterAddress(d, argument);
    return runControlStep(d, command, argument, step);
}

bool startProgram(Driver& d) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    std::wstring commandLine = L"\"" + d.program + L"\"";
    if (!::CreateProcessW(d.program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                          nullptr, nullptr, &startup, &d.process)) {
        say(d, "FAIL: cannot start %s", narrow(d.program));
        return false;
    }
    return true;
}

std::wstring besideDriver(const wchar_t* name) {
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring dir = path;
    dir = dir.substr(0, dir.find_last_of(L"\\/") + 1);
    return dir + name;
}

} // namespace

int main(int argc, char** argv) {
    Driver d;
    d.program = besideDriver(L"tov-upgrade.exe");
    std::vector<std::string> steps;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--program" && i + 1 < argc) {
            d.program = windowsPath(argv[++i]);
        } else if (arg == "--log" && i + 1 < argc) {
            d.log = ::_wfopen(windowsPath(argv[++i]).c_str(), L"w");
        } else if (arg == "--shots" && i + 1 < argc) {
            d.shotsDir = windowsPath(argv[++i]);
            ::CreateDirectoryW(d.shotsDir.c_str(), nullptr);
        } else if (arg == "-e" && i + 1 < argc) {
            steps.push_back(argv[++i]);
        } else {
            std::ifstream script(windowsPath(arg).c_str());
            if (!script) {
                std::fprintf(stderr, "tov-driver: cannot read %s\n", arg.c_str());
                return 2;
            }
            std::string line;
            while (std::getline(script, line)) {
                while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
                    line.pop_back();
                const std::size_t first = line.find_first_not_of(' ');
                if (first == std::string::npos || line[first] == '#')
                    continue;
                steps.push_back(line.substr(first));
            }
        }
    }
    if (!startProgram(d))
        return 1;
    bool ok = true;
    for (const std::string& step : steps) {
        if (!runStep(d, step)) {
            ok = false;
            break;
        }
    }
    if (programRunning(d)) {
        if (ok)
            say(d, "FAIL: the program is still running after the last step");
        ok = false;
        ::TerminateProcess(d.process.hProcess, 1);
    }
    say(d, ok ? "RESULT: pass" : "RESULT: fail");
    if (d.log != nullptr)
        std::fclose(d.log);
    return ok ? 0 : 1;
}
