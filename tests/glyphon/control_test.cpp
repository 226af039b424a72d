// The control end to end in the client's container: LookIt, sizing and
// centring, painting with white transparent, the temporary file, the
// message boxes, and the dispatch interface.
#include "glyphon/glyphon_ids.h"
#include "glyphon/host/ax_host.h"
#include "glyphon/host/glyphon_ctrl1.h"
#include "tests/glyphon/test_support.h"

#include <gtest/gtest.h>
#include <ocidl.h>
#include <olectl.h>

#include <cmath>
#include <memory>
#include <thread>

namespace qex::glyphon {
namespace {

using namespace qex::glyphon::test;

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kRed = RGB(200, 0, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr COLORREF kNearWhite = RGB(254, 255, 255);

HMODULE g_ocx = nullptr;
MessageBoxRecorder* g_boxes = nullptr;

class GlyphonEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        OleInitialize(nullptr);
        g_ocx = LoadOcx();
        ASSERT_NE(g_ocx, nullptr);
        auto reg = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
            reinterpret_cast<void*>(GetProcAddress(g_ocx, "DllRegisterServer")));
        ASSERT_EQ(reg(), S_OK);
        ASSERT_TRUE(RegisterAxHostClass());
        g_boxes = new MessageBoxRecorder(g_ocx);
        ASSERT_TRUE(g_boxes->Installed());
        WNDCLASSA wc = {};
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
        wc.lpszClassName = "GlyphonTestParent";
        RegisterClassA(&wc);
    }
    // The control stays registered: the tree's prefix is then like a
    // machine with the client installed.
    void TearDown() override {
        delete g_boxes;
        OleUninitialize();
    }
};

const auto* const g_env = ::testing::AddGlobalTestEnvironment(new GlyphonEnvironment);

RECT RectInParent(HWND wnd) {
    RECT rc;
    GetWindowRect(wnd, &rc);
    MapWindowPoints(nullptr, GetParent(wnd), reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

// A 32-bit top-down memory surface, filled with one colour.
class Surface {
public:
    Surface(int cx, int cy, COLORREF fill) : cx_(cx), cy_(cy) {
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = cx;
        info.bmiHeader.biHeight = -cy;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        dc_ = CreateCompatibleDC(nullptr);
        bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits_, nullptr, 0);
        old_ = SelectObject(dc_, bitmap_);
        HBRUSH brush = CreateSolidBrush(fill);
        RECT all = {0, 0, cx, cy};
        FillRect(dc_, &all, brush);
        DeleteObject(brush);
    }
    ~Surface() {
        SelectObject(dc_, old_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    HDC Dc() const { return dc_; }
    COLORREF At(int x, int y) const {
        GdiFlush();
        return GetPixel(dc_, x, y);
    }

private:
    int cx_, cy_;
    HDC dc_;
    HBITMAP bitmap_;
    HGDIOBJ old_;
    void* bits_ = nullptr;
};

class Control : public ::testing::Test {
protected:
    // One visible top-level window for the suite: under Wine without a
    // window manager, each hidden top-level window costs a long X wait.
    static void SetUpTestSuite() {
        top_ = CreateWindowExA(0, "GlyphonTestParent", "", WS_POPUP | WS_VISIBLE, 0, 0, 400, 300, nullptr,
                               nullptr, GetModuleHandleA(nullptr), nullptr);
    }
    static void TearDownTestSuite() { DestroyWindow(top_); }

    void SetUp() override {
        DeleteFileA(ImageFilePath().c_str());
        g_boxes->Take();
        ASSERT_NE(top_, nullptr);
        // The control's parent, borderless, so its whole window is its
        // client area, as in the handwriting dialog.
        parent_ = CreateWindowExA(0, "GlyphonTestParent", "", WS_CHILD | WS_VISIBLE, 0, 0, 400, 300, top_,
                                  nullptr, GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(parent_, nullptr);
        const RECT rc = {10, 10, 110, 110};
        ASSERT_TRUE(ctrl_.Create(nullptr, nullptr, WS_VISIBLE | WS_TABSTOP, rc, parent_, 1003));
        ASSERT_EQ(AxHostGetControl(ctrl_.GetSafeHwnd(), IID_IDispatch, reinterpret_cast<void**>(&dispatch_)), S_OK);
    }
    void TearDown() override {
        if (dispatch_) dispatch_->Release();
        if (parent_) DestroyWindow(parent_);
    }

    HRESULT LookIt(const std::string& text) { return CallLookIt(dispatch_, text.c_str()); }
    HWND Wnd() const { return ctrl_.GetSafeHwnd(); }

    long Display() {
        DISPPARAMS none = {nullptr, nullptr, 0, 0};
        VARIANT result;
        VariantInit(&result);
        EXPECT_EQ(dispatch_->Invoke(kDispidDisplay, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &result, nullptr,
                                    nullptr), S_OK);
        EXPECT_EQ(V_VT(&result), VT_I4);
        return V_I4(&result);
    }
    HRESULT PutDisplay(VARIANT value) {
        DISPID named = DISPID_PROPERTYPUT;
        DISPPARAMS params = {&value, &named, 1, 1};
        return dispatch_->Invoke(kDispidDisplay, IID_NULL, 0, DISPATCH_PROPERTYPUT, &params, nullptr, nullptr,
                                 nullptr);
    }
    HRESULT PutDisplay(long value) {
        VARIANT v;
        V_VT(&v) = VT_I4;
        V_I4(&v) = value;
        return PutDisplay(v);
    }

    // What the control paints into a blue surface through IViewObject.
    std::unique_ptr<Surface> Render(int cx, int cy) {
        auto surface = std::make_unique<Surface>(cx, cy, kBlue);
        IViewObject* view = nullptr;
        EXPECT_EQ(dispatch_->QueryInterface(IID_IViewObject, reinterpret_cast<void**>(&view)), S_OK);
        RECTL bounds = {0, 0, cx, cy};
        EXPECT_EQ(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, surface->Dc(), &bounds, nullptr,
                             nullptr, 0), S_OK);
        view->Release();
        return surface;
    }

    static HWND top_;
    HWND parent_ = nullptr;
    CGlyphonctrl1 ctrl_;
    IDispatch* dispatch_ = nullptr;
};

HWND Control::top_ = nullptr;

TEST_F(Control, HostGivesTheControlWindowTheItemIdAndRectangle) {
    ASSERT_NE(Wnd(), nullptr);
    EXPECT_EQ(GetDlgItem(parent_, 1003), Wnd());
    EXPECT_EQ(GetParent(Wnd()), parent_);
    EXPECT_TRUE(IsWindowVisible(Wnd()));
    const RECT rc = RectInParent(Wnd());
    EXPECT_EQ(rc.left, 10);
    EXPECT_EQ(rc.top, 10);
    EXPECT_EQ(rc.right - rc.left, 100);
    EXPECT_EQ(rc.bottom - rc.top, 100);
    EXPECT_EQ(Display(), 0);
}

TEST_F(Control, LookItShrinksTheControlToTheImageAndCentresIt) {
    struct Case {
        int w, h, cx, cy;
    } cases[] = {{300, 150, 150, 75}, {100, 100, 100, 100}, {300, 200, 150, 100}, {200, 300, 100, 150},
                 {100, 80, 100, 80},  {400, 400, 150, 150}};
    for (const Case& c : cases) {
        ASSERT_EQ(LookIt(EncodeBase64(SolidPng(c.w, c.h, kRed))), S_OK);
        const RECT rc = RectInParent(Wnd());
        EXPECT_EQ(rc.right - rc.left, c.cx) << c.w << "x" << c.h;
        EXPECT_EQ(rc.bottom - rc.top, c.cy) << c.w << "x" << c.h;
        EXPECT_EQ(rc.left, (400 - c.cx) / 2) << c.w << "x" << c.h;
        EXPECT_EQ(rc.top, (300 - c.cy) / 2) << c.w << "x" << c.h;
        SIZEL extent = {};
        IOleObject* ole = nullptr;
        ASSERT_EQ(dispatch_->QueryInterface(IID_IOleObject, reinterpret_cast<void**>(&ole)), S_OK);
        ole->GetExtent(DVASPECT_CONTENT, &extent);
        ole->Release();
        EXPECT_NEAR(extent.cx, MulDiv(c.cx, 2540, 96), 30);
    }
    EXPECT_TRUE(g_boxes->Take().empty());
}

TEST_F(Control, WritesTheDecodedBytesToTheTemporaryFileAndDeletesItWhenDestroyed) {
    const std::string png = SolidPng(20, 10, kRed);
    // Line breaks and padding in the text do not reach the file.
    std::string text = EncodeBase64(png);
    text.insert(16, "\r\n");
    text += "==\n";
    ASSERT_EQ(LookIt(text), S_OK);
    EXPECT_EQ(ReadFileBytes(ImageFilePath()), png);
    EXPECT_EQ(Display(), 1);

    DestroyWindow(parent_);
    parent_ = nullptr;
    EXPECT_TRUE(FileExists(ImageFilePath()));  // our reference keeps the control
    dispatch_->Release();
    dispatch_ = nullptr;
    EXPECT_FALSE(FileExists(ImageFilePath()));
}

TEST_F(Control, PaintsTheImageStretchedWithPureWhiteTransparent) {
    // Left half white, right half red, one near-white pixel at (1, 1).
    const std::string png = MakePng(40, 20, [](int x, int y) {
        if (x == 1 && y == 1) return kNearWhite;
        return x < 20 ? kWhite : kRed;
    });
    ASSERT_EQ(LookIt(EncodeBase64(png)), S_OK);
    auto surface = Render(60, 30);
    EXPECT_EQ(surface->At(5, 10), kBlue);      // white left the background
    EXPECT_EQ(surface->At(30, 10), kRed);
    EXPECT_EQ(surface->At(39, 19), kRed);
    EXPECT_EQ(surface->At(1, 1), kNearWhite);  // only pure white is the key
    EXPECT_EQ(surface->At(45, 10), kBlue);     // beyond the control's 40 x 20

    // The same through the control's window: white shows its background.
    UpdateWindow(Wnd());
    HDC dc = GetDC(Wnd());
    EXPECT_EQ(GetPixel(dc, 30, 10), kRed);
    EXPECT_EQ(GetPixel(dc, 5, 10), GetSysColor(COLOR_BTNFACE));
    ReleaseDC(Wnd(), dc);
}

TEST_F(Control, DisplayHidesAndShowsFromTheNextPaintOn) {
    EXPECT_EQ(Render(10, 10)->At(5, 5), kBlue);  // nothing before LookIt
    ASSERT_EQ(LookIt(EncodeBase64(SolidPng(10, 10, kRed))), S_OK);
    EXPECT_EQ(Display(), 1);
    EXPECT_EQ(Render(10, 10)->At(5, 5), kRed);

    UpdateWindow(Wnd());
    ASSERT_EQ(PutDisplay(0), S_OK);
    EXPECT_FALSE(GetUpdateRect(Wnd(), nullptr, FALSE));  // no repaint asked for
    EXPECT_EQ(Display(), 0);
    EXPECT_EQ(Render(10, 10)->At(5, 5), kBlue);
    IPersistStreamInit* persist = nullptr;
    ASSERT_EQ(dispatch_->QueryInterface(IID_IPersistStreamInit, reinterpret_cast<void**>(&persist)), S_OK);
    EXPECT_EQ(persist->IsDirty(), S_OK);  // writing marks the control modified
    persist->Release();

    VARIANT text;
    V_VT(&text) = VT_BSTR;
    V_BSTR(&text) = SysAllocString(L"7");
    ASSERT_EQ(PutDisplay(text), S_OK);  // coerced to long
    VariantClear(&text);
    EXPECT_EQ(Display(), 7);
    EXPECT_EQ(Render(10, 10)->At(5, 5), kRed);
}

TEST_F(Control, EmptyTextChangesNothing) {
    ASSERT_EQ(LookIt(""), S_OK);
    EXPECT_FALSE(FileExists(ImageFilePath()));
    EXPECT_EQ(Display(), 0);
    const RECT rc = RectInParent(Wnd());
    EXPECT_EQ(rc.left, 10);
    EXPECT_EQ(rc.right - rc.left, 100);
    EXPECT_TRUE(g_boxes->Take().empty());
}

TEST_F(Control, BytesThatAreNoImageAreWrittenButNeitherResizeNorPaint) {
    ASSERT_EQ(LookIt(EncodeBase64(SolidPng(300, 150, kRed))), S_OK);
    const RECT before = RectInParent(Wnd());
    ASSERT_EQ(LookIt(EncodeBase64("this is not a picture")), S_OK);
    EXPECT_EQ(ReadFileBytes(ImageFilePath()), "this is not a picture");
    EXPECT_EQ(Display(), 1);
    const RECT after = RectInParent(Wnd());
    EXPECT_TRUE(EqualRect(&before, &after));
    EXPECT_EQ(Render(20, 20)->At(5, 5), kBlue);
    EXPECT_TRUE(g_boxes->Take().empty());
}

TEST_F(Control, FileThatCannotBeCreatedIsReportedAndNothingIsPaintedAfterwards) {
    ASSERT_EQ(LookIt(EncodeBase64(SolidPng(10, 10, kRed))), S_OK);
    char saved[MAX_PATH] = {};
    GetEnvironmentVariableA("TMP", saved, MAX_PATH);
    char savedTemp[MAX_PATH] = {};
    GetEnvironmentVariableA("TEMP", savedTemp, MAX_PATH);
    SetEnvironmentVariableA("TMP", "Z:\\no\\such\\folder\\");
    SetEnvironmentVariableA("TEMP", "Z:\\no\\such\\folder\\");
    const HRESULT hr = LookIt(EncodeBase64(SolidPng(10, 10, kRed)));
    SetEnvironmentVariableA("TMP", saved[0] ? saved : nullptr);
    SetEnvironmentVariableA("TEMP", savedTemp[0] ? savedTemp : nullptr);
    ASSERT_EQ(hr, S_OK);

    const std::vector<RecordedBox> boxes = g_boxes->Take();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "\xc9\xfa\xb3\xc9\xb6\xfe\xce\xac\xc2\xeb\xca\xa7\xb0\xdc\xa3\xac\xc7\xeb\xc8\xa1"
                             "\xcf\xfb\xba\xf3\xd6\xd8\xca\xd4\xbb\xf2\xc1\xaa\xcf\xb5\xb9\xdc\xc0\xed\xd4\xb1");
    EXPECT_EQ(boxes[0].caption, "\xb5\xe7\xd7\xd3\xc7\xa9\xd5\xc2");  // 电子签章
    EXPECT_EQ(boxes[0].type, 64u);
    EXPECT_EQ(GetAncestor(boxes[0].owner, GA_ROOT), top_);  // owned by the control
    EXPECT_EQ(Display(), 1);                     // unchanged
    EXPECT_EQ(Render(10, 10)->At(5, 5), kBlue);  // but the old picture is gone

    // The next good call shows a picture again.
    ASSERT_EQ(LookIt(EncodeBase64(SolidPng(10, 10, kRed))), S_OK);
    EXPECT_EQ(Render(10, 10)->At(5, 5), kRed);
}

TEST_F(Control, SecondLookItReplacesThePictureAndRecentres) {
    ASSERT_EQ(LookIt(EncodeBase64(SolidPng(300, 300, kRed))), S_OK);
    UpdateWindow(Wnd());
    ASSERT_EQ(LookIt(EncodeBase64(SolidPng(60, 40, RGB(0, 160, 0)))), S_OK);
    EXPECT_TRUE(GetUpdateRect(Wnd(), nullptr, FALSE));  // repaint pending
    const RECT rc = RectInParent(Wnd());
    EXPECT_EQ(rc.right - rc.left, 60);
    EXPECT_EQ(rc.bottom - rc.top, 40);
    EXPECT_EQ(rc.left, 170);
    EXPECT_EQ(rc.top, 130);
    EXPECT_EQ(Render(60, 40)->At(30, 20), RGB(0, 160, 0));
}

TEST_F(Control, ThousandLookItsWithPaintsLeakNoGdiObjects) {
    const std::string a = EncodeBase64(SolidPng(40, 30, kRed));
    const std::string b = EncodeBase64(SolidPng(30, 40, RGB(0, 160, 0)));
    auto once = [&](int i) {
        ASSERT_EQ(LookIt(i % 2 ? a : b), S_OK);
        UpdateWindow(parent_);
        UpdateWindow(ctrl_.GetSafeHwnd());
    };
    for (int i = 0; i < 20; ++i) once(i);  // caches and first-use objects settle
    const DWORD before = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    if (before == 0) GTEST_SKIP() << "this system does not count GDI objects";
    for (int i = 0; i < 1000; ++i) once(i);
    const DWORD after = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    EXPECT_LE(after, before + 5) << before << " GDI objects before, " << after << " after";
}

TEST_F(Control, FlatImageBecomesZeroHighAndPaintsNothing) {
    ASSERT_EQ(LookIt(EncodeBase64(SolidPng(151, 1, kRed))), S_OK);
    const RECT rc = RectInParent(Wnd());
    EXPECT_EQ(rc.right - rc.left, 150);
    EXPECT_EQ(rc.bottom - rc.top, 0);
    EXPECT_EQ(Render(150, 5)->At(10, 0), kBlue);
}

TEST_F(Control, DispatchInterfaceMatchesItsTypeInformation) {
    const wchar_t* names[] = {L"Display", L"LookIt", L"lookit"};
    const DISPID expected[] = {1, 2, 2};
    for (int i = 0; i < 3; ++i) {
        DISPID id = 0;
        LPOLESTR name = const_cast<LPOLESTR>(names[i]);
        ASSERT_EQ(dispatch_->GetIDsOfNames(IID_NULL, &name, 1, 0, &id), S_OK) << i;
        EXPECT_EQ(id, expected[i]);
    }
    DISPID id = 0;
    LPOLESTR unknown = const_cast<LPOLESTR>(L"Refresh");
    EXPECT_EQ(dispatch_->GetIDsOfNames(IID_NULL, &unknown, 1, 0, &id), DISP_E_UNKNOWNNAME);

    UINT count = 0;
    ASSERT_EQ(dispatch_->GetTypeInfoCount(&count), S_OK);
    EXPECT_EQ(count, 1u);
    ITypeInfo* info = nullptr;
    ASSERT_EQ(dispatch_->GetTypeInfo(0, 0, &info), S_OK);
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
    EXPECT_EQ(attr->typekind, TKIND_DISPATCH);
    EXPECT_TRUE(IsEqualGUID(attr->guid, kDiidDGlyphon));
    info->ReleaseTypeAttr(attr);
    info->Release();

    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    EXPECT_EQ(dispatch_->Invoke(2, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr),
              DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(dispatch_->Invoke(3, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr),
              DISP_E_MEMBERNOTFOUND);
    // The same object answers as _DGlyphon.
    IDispatch* typed = nullptr;
    ASSERT_EQ(dispatch_->QueryInterface(kDiidDGlyphon, reinterpret_cast<void**>(&typed)), S_OK);
    typed->Release();
}

TEST_F(Control, AnswersTheContainerInterfacesWithClassAndEventInformation) {
    IProvideClassInfo2* classInfo = nullptr;
    ASSERT_EQ(dispatch_->QueryInterface(IID_IProvideClassInfo2, reinterpret_cast<void**>(&classInfo)), S_OK);
    GUID events = {};
    ASSERT_EQ(classInfo->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &events), S_OK);
    EXPECT_TRUE(IsEqualGUID(events, kDiidDGlyphonEvents));
    ITypeInfo* coclass = nullptr;
    ASSERT_EQ(classInfo->GetClassInfo(&coclass), S_OK);
    TYPEATTR* attr = nullptr;
    coclass->GetTypeAttr(&attr);
    EXPECT_TRUE(IsEqualGUID(attr->guid, kClsidGlyphon));
    coclass->ReleaseTypeAttr(attr);
    coclass->Release();
    classInfo->Release();

    IConnectionPointContainer* cpc = nullptr;
    ASSERT_EQ(dispatch_->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&cpc)), S_OK);
    IConnectionPoint* point = nullptr;
    EXPECT_EQ(cpc->FindConnectionPoint(IID_IPropertyNotifySink, &point), CONNECT_E_NOCONNECTION);
    ASSERT_EQ(cpc->FindConnectionPoint(kDiidDGlyphonEvents, &point), S_OK);
    IEnumConnectionPoints* points = nullptr;
    ASSERT_EQ(cpc->EnumConnectionPoints(&points), S_OK);
    IConnectionPoint* listed[2] = {};
    ULONG fetched = 0;
    EXPECT_EQ(points->Next(2, listed, &fetched), S_FALSE);
    ASSERT_EQ(fetched, 1u);
    EXPECT_EQ(listed[0], point);
    listed[0]->Release();
    points->Release();

    // A sink that is a plain IDispatch connects (the control itself will do).
    DWORD cookie = 0;
    ASSERT_EQ(point->Advise(dispatch_, &cookie), S_OK);
    EXPECT_NE(cookie, 0u);
    EXPECT_EQ(point->Unadvise(cookie), S_OK);
    EXPECT_EQ(point->Unadvise(cookie), CONNECT_E_NOCONNECTION);
    point->Release();
    cpc->Release();

    IOleObject* ole = nullptr;
    ASSERT_EQ(dispatch_->QueryInterface(IID_IOleObject, reinterpret_cast<void**>(&ole)), S_OK);
    DWORD misc = 0;
    ole->GetMiscStatus(DVASPECT_CONTENT, &misc);
    EXPECT_EQ(misc, kMiscStatus);
    IEnumOLEVERB* verbs = nullptr;
    ASSERT_EQ(ole->EnumVerbs(&verbs), S_OK);
    OLEVERB verb[3] = {};
    ULONG count = 0;
    EXPECT_EQ(verbs->Next(3, verb, &count), S_FALSE);
    ASSERT_EQ(count, 2u);
    EXPECT_EQ(verb[0].lVerb, OLEIVERB_PRIMARY);
    EXPECT_STREQ(verb[0].lpszVerbName, L"&Edit");
    EXPECT_EQ(verb[1].lVerb, OLEIVERB_PROPERTIES);
    for (ULONG i = 0; i < count; ++i) CoTaskMemFree(verb[i].lpszVerbName);
    verbs->Release();
    ole->Release();
    ISpecifyPropertyPages* pages = nullptr;
    ASSERT_EQ(dispatch_->QueryInterface(IID_ISpecifyPropertyPages, reinterpret_cast<void**>(&pages)), S_OK);
    CAUUID list = {};
    ASSERT_EQ(pages->GetPages(&list), S_OK);
    ASSERT_EQ(list.cElems, 1u);
    EXPECT_TRUE(IsEqualGUID(list.pElems[0], kClsidGlyphonPropPage));
    CoTaskMemFree(list.pElems);
    pages->Release();
}

TEST_F(Control, QuickActivationTakesSiteAndEventSinkInOneCall) {
    IQuickActivate* quick = nullptr;
    ASSERT_EQ(CoCreateInstance(kClsidGlyphon, nullptr, CLSCTX_INPROC_SERVER, IID_IQuickActivate,
                               reinterpret_cast<void**>(&quick)), S_OK);
    QACONTAINER container = {};
    container.cbSize = sizeof(container);
    container.pUnkEventSink = dispatch_;  // any IDispatch will do as a sink
    QACONTROL control = {};
    control.cbSize = sizeof(control);
    ASSERT_EQ(quick->QuickActivate(&container, &control), S_OK);
    EXPECT_EQ(control.dwMiscStatus, kMiscStatus);
    EXPECT_NE(control.dwEventCookie, 0u);
    SIZEL size = {2000, 1000};
    ASSERT_EQ(quick->SetContentExtent(&size), S_OK);
    SIZEL back = {};
    ASSERT_EQ(quick->GetContentExtent(&back), S_OK);
    EXPECT_EQ(back.cx, 2000);
    EXPECT_EQ(back.cy, 1000);
    control.cbSize = 4;
    EXPECT_EQ(quick->QuickActivate(&container, &control), E_INVALIDARG);
    quick->Release();
}

TEST_F(Control, PersistsVersionAndExtentThroughAStream) {
    ASSERT_EQ(LookIt(EncodeBase64(SolidPng(120, 60, kRed))), S_OK);
    IPersistStreamInit* persist = nullptr;
    ASSERT_EQ(dispatch_->QueryInterface(IID_IPersistStreamInit, reinterpret_cast<void**>(&persist)), S_OK);
    IStream* stream = nullptr;
    ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, &stream), S_OK);
    ASSERT_EQ(persist->Save(stream, TRUE), S_OK);
    EXPECT_EQ(persist->IsDirty(), S_FALSE);
    persist->Release();

    IPersistStreamInit* other = nullptr;
    ASSERT_EQ(CoCreateInstance(kClsidGlyphon, nullptr, CLSCTX_INPROC_SERVER, IID_IPersistStreamInit,
                               reinterpret_cast<void**>(&other)), S_OK);
    LARGE_INTEGER zero = {};
    stream->Seek(zero, STREAM_SEEK_SET, nullptr);
    ASSERT_EQ(other->Load(stream), S_OK);
    IOleObject* ole = nullptr;
    ASSERT_EQ(other->QueryInterface(IID_IOleObject, reinterpret_cast<void**>(&ole)), S_OK);
    SIZEL extent = {};
    ole->GetExtent(DVASPECT_CONTENT, &extent);
    EXPECT_NEAR(extent.cx, MulDiv(120, 2540, 96), 30);
    EXPECT_NEAR(extent.cy, MulDiv(60, 2540, 96), 30);
    ole->Release();
    other->Release();
    stream->Release();
}

// The system ATL library's host is a container we did not write.
TEST_F(Control, WorksInTheSystemAtlHostToo) {
    HMODULE atl = LoadLibraryA("atl.dll");
    ASSERT_NE(atl, nullptr);
    auto init = reinterpret_cast<BOOL(WINAPI*)()>(reinterpret_cast<void*>(GetProcAddress(atl, "AtlAxWinInit")));
    auto getControl = reinterpret_cast<HRESULT(WINAPI*)(HWND, IUnknown**)>(
        reinterpret_cast<void*>(GetProcAddress(atl, "AtlAxGetControl")));
    ASSERT_TRUE(init && getControl && init());
    HWND host = CreateWindowExA(0, "AtlAxWin", kClsidGlyphonText, WS_CHILD | WS_VISIBLE, 20, 20, 200, 200,
                                parent_, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(host, nullptr);
    IUnknown* unknown = nullptr;
    ASSERT_EQ(getControl(host, &unknown), S_OK);
    IDispatch* control = nullptr;
    ASSERT_EQ(unknown->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&control)), S_OK);
    unknown->Release();
    ASSERT_EQ(CallLookIt(control, EncodeBase64(SolidPng(300, 150, kRed)).c_str()), S_OK);
    IOleInPlaceObject* inPlace = nullptr;
    ASSERT_EQ(control->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&inPlace)), S_OK);
    HWND wnd = nullptr;
    ASSERT_EQ(inPlace->GetWindow(&wnd), S_OK);
    inPlace->Release();
    control->Release();
    EXPECT_EQ(GetParent(wnd), host);
    const RECT rc = RectInParent(wnd);
    EXPECT_EQ(rc.right - rc.left, 150);
    EXPECT_EQ(rc.bottom - rc.top, 75);
    // Wine's host ignores the size request; centring still uses the new size.
    EXPECT_EQ(rc.left, 25);
    EXPECT_EQ(rc.top, 62);
    EXPECT_TRUE(FileExists(ImageFilePath()));
    DestroyWindow(host);
    EXPECT_FALSE(FileExists(ImageFilePath()));
}

// The handwriting dialog's way: the template names the control.
struct DialogRun {
    bool created = false;
    bool isControl = false;
    long width = 0, height = 0, left = 0, top = 0, dialogWidth = 0, dialogHeight = 0;
    bool fileGone = false;
};

INT_PTR CALLBACK NoDialogProc(HWND, UINT msg, WPARAM, LPARAM) { return msg == WM_INITDIALOG; }

DialogRun RunTemplateDialog(int templateId, const std::string& base64) {
    DialogRun run;
    HWND dlg = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(templateId), nullptr, NoDialogProc, 0);
    if (!dlg) return run;
    run.created = true;
    CGlyphonctrl1 ctrl;
    if (ctrl.Attach(dlg, 1003)) {
        char name[64] = {};
        GetClassNameA(ctrl.GetSafeHwnd(), name, sizeof(name));
        run.isControl = lstrcmpA(name, "GlyphonCtrlWindow") == 0;
        ctrl.LookIt(base64.c_str());
        const RECT rc = RectInParent(ctrl.GetSafeHwnd());
        RECT outer;
        GetWindowRect(dlg, &outer);
        run.width = rc.right - rc.left;
        run.height = rc.bottom - rc.top;
        run.left = rc.left;
        run.top = rc.top;
        run.dialogWidth = outer.right - outer.left;
        run.dialogHeight = outer.bottom - outer.top;
    }
    DestroyWindow(dlg);
    run.fileGone = !FileExists(ImageFilePath());
    return run;
}

TEST(HostedByTemplate, DialogItemBecomesTheControlAndTheFileGoesWithTheDialog) {
    DeleteFileA(ImageFilePath().c_str());
    const DialogRun run = RunTemplateDialog(136, EncodeBase64(SolidPng(300, 150, kRed)));
    ASSERT_TRUE(run.created);
    EXPECT_TRUE(run.isControl);
    EXPECT_EQ(run.width, 150);
    EXPECT_EQ(run.height, 75);
    EXPECT_TRUE(run.fileGone);
}

// The control centres itself in its parent's whole window; the handwriting
// dialog has neither border nor caption, so that is its client area too:
// the picture sits in the middle of what the user sees, whatever its size.
TEST(HostedByTemplate, HandwritingDialogHasNoFrameAndTheControlSitsInItsMiddle) {
    const struct {
        int w, h;
    } sizes[] = {{300, 150}, {150, 150}, {100, 80}, {60, 41}, {149, 3}};
    for (const auto& size : sizes) {
        HWND dlg = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(136), nullptr, NoDialogProc, 0);
        ASSERT_NE(dlg, nullptr);
        RECT outer, client;
        GetWindowRect(dlg, &outer);
        GetClientRect(dlg, &client);
        EXPECT_EQ(outer.right - outer.left, client.right) << "a frame around the dialog";
        EXPECT_EQ(outer.bottom - outer.top, client.bottom) << "a frame around the dialog";
        CGlyphonctrl1 ctrl;
        ASSERT_TRUE(ctrl.Attach(dlg, 1003));
        ctrl.LookIt(EncodeBase64(SolidPng(size.w, size.h, kRed)).c_str());
        const RECT rc = RectInParent(ctrl.GetSafeHwnd());
        const double middleX = (rc.left + rc.right) / 2.0, middleY = (rc.top + rc.bottom) / 2.0;
        EXPECT_LE(std::abs(middleX - client.right / 2.0), 1.0) << size.w << "x" << size.h;
        EXPECT_LE(std::abs(middleY - client.bottom / 2.0), 1.0) << size.w << "x" << size.h;
        DestroyWindow(dlg);
    }
}

TEST(HostedByTemplate, WorksOnAThreadThatNeverInitialisedCom) {
    DeleteFileA(ImageFilePath().c_str());
    DialogRun run;
    std::thread worker([&run] { run = RunTemplateDialog(136, EncodeBase64(SolidPng(100, 100, kRed))); });
    worker.join();
    ASSERT_TRUE(run.created);
    EXPECT_TRUE(run.isControl);
    EXPECT_EQ(run.width, 100);
    EXPECT_TRUE(run.fileGone);
}

// What really reaches the screen: the handwriting dialog shown, the code
// given from a timer a moment after it opened (as the client does), then
// the pixels read back from the screen where the control is.
constexpr UINT_PTR kShowTimer = 1;

struct ShownDialog {
    std::string base64;
    CGlyphonctrl1 ctrl;
};

INT_PTR CALLBACK ShowingDialogProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_INITDIALOG) {
        auto* shown = reinterpret_cast<ShownDialog*>(lp);
        SetWindowLongPtrA(dlg, DWLP_USER, lp);
        shown->ctrl.Attach(dlg, 1003);
        SetTimer(dlg, kShowTimer, 200, nullptr);
        return TRUE;
    }
    if (msg == WM_TIMER && wp == kShowTimer) {
        KillTimer(dlg, kShowTimer);
        auto* shown = reinterpret_cast<ShownDialog*>(GetWindowLongPtrA(dlg, DWLP_USER));
        shown->ctrl.LookIt(shown->base64.c_str());
        return TRUE;
    }
    return FALSE;
}

// Dark pixels on the screen inside the window rectangle of `wnd`.
int DarkPixelsOnScreen(HWND wnd) {
    RECT rc;
    if (!IsWindow(wnd) || !GetWindowRect(wnd, &rc)) return 0;
    const int cx = rc.right - rc.left;
    const int cy = rc.bottom - rc.top;
    if (cx <= 0 || cy <= 0) return 0;
    Surface copy(cx, cy, kWhite);
    HDC screen = GetDC(nullptr);
    BitBlt(copy.Dc(), 0, 0, cx, cy, screen, rc.left, rc.top, SRCCOPY);
    ReleaseDC(nullptr, screen);
    int dark = 0;
    for (int y = 0; y < cy; ++y) {
        for (int x = 0; x < cx; ++x) {
            const COLORREF c = copy.At(x, y);
            if (GetRValue(c) < 64 && GetGValue(c) < 64 && GetBValue(c) < 64) ++dark;
        }
    }
    return dark;
}

// A QR-like pattern: 4-pixel modules in a checker, with a quiet zone.
bool QrLikeDark(int x, int y) {
    if (x < 8 || y < 8 || x >= 156 || y >= 156) return false;
    return ((x / 4) + (y / 4)) % 2 == 0;
}

constexpr int kEnoughDark = 150 * 150 / 5;
// More than this and white was painted dark too (the colour key failed).
constexpr int kTooDark = 150 * 150 * 3 / 5;

int ShowCodeAndCountDarkPixels(int bits) {
    ShownDialog shown;
    shown.base64 = EncodeBase64(MakeGreyPng(164, 164, bits, QrLikeDark));
    HWND dlg = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(136), nullptr, ShowingDialogProc,
                                  reinterpret_cast<LPARAM>(&shown));
    if (!dlg) return -1;
    ShowWindow(dlg, SW_SHOW);
    int dark = 0;
    // About two fifths of the 150 x 150 picture is dark: a fifth tells a
    // painted code from an empty area. Waited for, as painting comes after
    // the timer and whenever the system gets to it.
    PumpUntil([&] {
        dark = DarkPixelsOnScreen(shown.ctrl.GetSafeHwnd());
        return dark > kEnoughDark;
    }, 8000);
    DestroyWindow(dlg);
    return dark;
}

TEST(HostedByTemplate, ShownDialogPaintsAOneBitCodeOnTheScreen) {
    const int dark = ShowCodeAndCountDarkPixels(1);
    EXPECT_GT(dark, kEnoughDark);
    EXPECT_LT(dark, kTooDark);
    EXPECT_TRUE(g_boxes->Take().empty());
}

TEST(HostedByTemplate, ShownDialogPaintsAnEightBitGreyCodeOnTheScreen) {
    const int dark = ShowCodeAndCountDarkPixels(8);
    EXPECT_GT(dark, kEnoughDark);
    EXPECT_LT(dark, kTooDark);
    EXPECT_TRUE(g_boxes->Take().empty());
}

TEST(HostedByTemplate, UnknownControlClassFailsTheDialog) {
    const DialogRun run = RunTemplateDialog(137, "");
    EXPECT_FALSE(run.created);
}

}  // namespace
}  // namespace qex::glyphon
