// Ownership, modality and placement of modal dialogs, as programs of this
// kind expect of their framework: dialogs without a parent are owned by the
// application's main window (worker threads inherit it), the owner is
// disabled while modal runs hold it (counted across threads) and enabled
// after, and a dialog that does not place itself is centred.
#include "framework/application.h"
#include "framework/dialog.h"
#include "framework/worker_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <functional>

namespace qex::fw {
namespace {

constexpr UINT kTestDialog = 200;
constexpr UINT kUp = WM_APP + 7;
constexpr UINT_PTR kPollTimer = 77;

class TestApp : public Application {};

// Pumps this thread's messages until `done` holds; false after `ms`.
bool PumpUntil(const std::function<bool()>& done, DWORD ms = 20000) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > ms) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    return true;
}

// A dialog that records what it sees once it is up, then runs `whenUp`
// (from its own modal loop) or ends at once.
class Probe : public Dialog {
public:
    explicit Probe(HWND parent = nullptr) : Dialog(kTestDialog, parent) {}
    std::function<void(Probe&)> whenUp;
    HWND ownerSeen = reinterpret_cast<HWND>(-1);
    bool ownerEnabledSeen = true;
    RECT rectSeen = {};

protected:
    BOOL OnInitDialog() override {
        Dialog::OnInitDialog();
        PostMessageA(Hwnd(), kUp, 0, 0);
        return TRUE;
    }
    bool OnMessage(UINT msg, WPARAM, LPARAM, INT_PTR* result) override {
        if (msg != kUp) return false;
        ownerSeen = GetWindow(Hwnd(), GW_OWNER);
        ownerEnabledSeen = ownerSeen && IsWindowEnabled(ownerSeen);
        GetWindowRect(Hwnd(), &rectSeen);
        if (whenUp) {
            whenUp(*this);
        } else {
            EndDialog(IDOK);
        }
        *result = TRUE;
        return true;
    }
};

RECT WorkArea(HWND window) {
    MONITORINFO mi;
    mi.cbSize = sizeof mi;
    GetMonitorInfoA(MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY), &mi);
    return mi.rcWork;
}

void ExpectCentredOver(const RECT& own, const RECT& target) {
    const int w = own.right - own.left, h = own.bottom - own.top;
    EXPECT_LE(std::abs(own.left - ((target.left + target.right) / 2 - w / 2)), 1);
    EXPECT_LE(std::abs(own.top - ((target.top + target.bottom) / 2 - h / 2)), 1);
}

// The main window shown away from the middle, so that "centred over it"
// and "centred on the screen" differ.
void ShowOffCentre(HWND main) {
    SetWindowPos(main, nullptr, 40, 30, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_SHOWWINDOW);
}

TEST(ModalDialog, UnownedDialogIsCentredOnTheWorkArea) {
    Probe p;
    ASSERT_EQ(IDOK, p.DoModal());
    EXPECT_EQ(nullptr, p.ownerSeen);
    ExpectCentredOver(p.rectSeen, WorkArea(nullptr));
}

TEST(ModalDialog, DialogWithoutParentIsOwnedByTheMainWindowCentredOverItAndDisablesIt) {
    TestApp app;
    Probe main, child;
    app.SetMainWindow(&main);
    RECT mainRect = {};
    bool enabledAfter = false;
    main.whenUp = [&](Probe& m) {
        ShowOffCentre(m.Hwnd());
        GetWindowRect(m.Hwnd(), &mainRect);
        EXPECT_EQ(IDOK, child.DoModal());
        enabledAfter = IsWindowEnabled(m.Hwnd()) != FALSE;
        m.EndDialog(IDOK);
    };
    ASSERT_EQ(IDOK, main.DoModal());
    EXPECT_EQ(nullptr, main.ownerSeen);
    EXPECT_NE(nullptr, child.ownerSeen);
    EXPECT_FALSE(child.ownerEnabledSeen);
    EXPECT_TRUE(enabledAfter);
    ExpectCentredOver(child.rectSeen, mainRect);
}

TEST(ModalDialog, HiddenOwnerMeansTheWorkArea) {
    TestApp app;
    Probe main, child;
    app.SetMainWindow(&main);
    main.whenUp = [&](Probe& m) {
        ShowOffCentre(m.Hwnd());
        ShowWindow(m.Hwnd(), SW_HIDE);  // as the client hides itself once logged in
        child.DoModal();
        m.EndDialog(IDOK);
    };
    main.DoModal();
    EXPECT_FALSE(child.ownerEnabledSeen);
    ExpectCentredOver(child.rectSeen, WorkArea(nullptr));
}

TEST(ModalDialog, DialogThatPlacesItselfIsLeftWhereItPutItself) {
    class Placing : public Probe {
    protected:
        BOOL OnInitDialog() override {
            Probe::OnInitDialog();
            SetWindowPos(Hwnd(), nullptr, 13, 17, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
            return TRUE;
        }
    } p;
    p.DoModal();
    EXPECT_EQ(13, p.rectSeen.left);
    EXPECT_EQ(17, p.rectSeen.top);
}

// The bridge thread's PIN dialog and a dialog of the main thread on the
// same owner: whichever ends first, the owner stays disabled until the last
// one has ended, and neither thread waits for the other for good.
class DialogThread : public WorkerThread {
public:
    BOOL InitInstance() override { return TRUE; }
    int Run() override {
        probe.whenUp = [this](Probe& p) {
            up = true;
            SetTimer(p.Hwnd(), kPollTimer, 10, nullptr);
        };
        probe.DoModal();
        ended = true;
        return 0;
    }
    // Ends the dialog when told (a timer of its own looks).
    class Waiting : public Probe {
    public:
        explicit Waiting(DialogThread& t) : thread(t) {}
        DialogThread& thread;

    protected:
        bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, INT_PTR* result) override {
            if (msg == WM_TIMER && wp == kPollTimer && thread.release) {
                KillTimer(Hwnd(), kPollTimer);
                EndDialog(IDOK);
                return true;
            }
            return Probe::OnMessage(msg, wp, lp, result);
        }
    };
    Waiting probe{*this};
    std::atomic<bool> up{false}, release{false}, ended{false};
};

void RunBothWays(bool workerEndsFirst) {
    TestApp app;
    Probe main, own;
    app.SetMainWindow(&main);
    DialogThread* worker = nullptr;
    bool disabledWhileOneLeft = false, enabledAtTheEnd = false;
    main.whenUp = [&](Probe& m) {
        ShowOffCentre(m.Hwnd());
        worker = BeginThread<DialogThread>(THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
        ASSERT_NE(nullptr, worker);
        EXPECT_EQ(m.Hwnd(), worker->MainWindow());  // inherited at creation
        worker->ResumeThread();
        ASSERT_TRUE(PumpUntil([&] { return worker->up.load(); }));
        own.whenUp = [&](Probe& o) {
            if (workerEndsFirst) {
                worker->release = true;
                ASSERT_TRUE(PumpUntil([&] { return worker->ended.load(); }));
                disabledWhileOneLeft = !IsWindowEnabled(m.Hwnd());
                o.EndDialog(IDOK);
            } else {
                o.EndDialog(IDOK);
            }
        };
        own.DoModal();
        if (!workerEndsFirst) {
            disabledWhileOneLeft = !IsWindowEnabled(m.Hwnd());
            worker->release = true;
            ASSERT_TRUE(PumpUntil([&] { return worker->ended.load(); }));
        }
        ASSERT_TRUE(PumpUntil([&] { return IsWindowEnabled(m.Hwnd()) != FALSE; }));
        enabledAtTheEnd = true;
        m.EndDialog(IDOK);
    };
    main.DoModal();
    ASSERT_NE(nullptr, worker);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(worker->Handle(), 20000));
    EXPECT_EQ(main.ownerSeen, nullptr);
    EXPECT_NE(nullptr, worker->probe.ownerSeen);
    EXPECT_FALSE(worker->probe.ownerEnabledSeen);
    EXPECT_TRUE(disabledWhileOneLeft);
    EXPECT_TRUE(enabledAtTheEnd);
    delete worker;
}

TEST(ModalDialog, RunsFromTwoThreadsOnOneOwnerCountWhenTheWorkerEndsFirst) { RunBothWays(true); }
TEST(ModalDialog, RunsFromTwoThreadsOnOneOwnerCountWhenTheMainThreadEndsFirst) { RunBothWays(false); }

void CALLBACK CloseTheBox(HWND, UINT, UINT_PTR, DWORD) {
    if (HWND box = FindWindowA("#32770", "box caption")) PostMessageA(box, WM_COMMAND, IDOK, 0);
}

// A message box that ends while a dialog still holds the same owner leaves
// the owner disabled (the system's own box would enable it).
TEST(ModalDialog, MessageBoxEndingUnderARunningDialogKeepsTheOwnerDisabled) {
    TestApp app;
    Probe main, child;
    app.SetMainWindow(&main);
    bool disabledAfterBox = false;
    main.whenUp = [&](Probe& m) {
        ShowOffCentre(m.Hwnd());
        child.whenUp = [&](Probe& c) {
            // The box is found and closed from a timer while it runs.
            SetTimer(c.Hwnd(), kPollTimer, 50, &CloseTheBox);
            MessageBoxOwned(m.Hwnd(), "text", "box caption", MB_OK);
            KillTimer(c.Hwnd(), kPollTimer);
            disabledAfterBox = !IsWindowEnabled(m.Hwnd());
            c.EndDialog(IDOK);
        };
        child.DoModal();
        m.EndDialog(IDOK);
    };
    main.DoModal();
    EXPECT_TRUE(disabledAfterBox);
}

}  // namespace
}  // namespace qex::fw
