// Attaching and detaching the skin: properties, procedures, styles, regions, the count of
// skinned windows and the life of the skin images; windows skinned as they are activated.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <vector>

#include "handler_test_support.h"
#include "skin/skin_engine.h"

namespace {

using namespace skin_handler_test;
namespace prop = modSkinner::prop;
using modSkinner::Engine;

LONG_PTR Prop(HWND hwnd, const wchar_t* name) {
  return modSkinner::GetSkinProp(hwnd, name);
}

WNDPROC ProcOf(HWND hwnd) {
  return reinterpret_cast<WNDPROC>(GetWindowLongPtrW(hwnd, GWLP_WNDPROC));
}

bool ImagesExist() {
  const modSkinner::SkinImages& images = Engine().Images;
  return images.ButtonImage && images.ComboImage && images.GlyphImage && images.BoxImage &&
         images.HeaderImage;
}

class AttachTest : public ::testing::Test {
 protected:
  void SetUp() override {
    MoveCursorAway();
    ASSERT_EQ(Engine().SkinnedCount, 0);
    ASSERT_FALSE(Engine().SkinReady);
  }
  void TearDown() override { Pump(); }
};

TEST_F(AttachTest, SkinFormAttachesEveryDescendantAndUnskinFormRestoresEverything) {
  TestForm form;
  HWND push = form.Add(L"Button", L"开始处理", BS_PUSHBUTTON, 10, 10, 75, 25);
  HWND disabled = form.Add(L"Button", L"停止", BS_DEFPUSHBUTTON | WS_DISABLED, 100, 10, 75, 25);
  HWND plainCheck = form.Add(L"Button", L"check", BS_AUTOCHECKBOX, 10, 50, 90, 20);
  HWND check = form.Add(L"ThunderRT6CheckBox", L"check", BS_AUTOCHECKBOX, 110, 50, 90, 20);
  HWND header = form.Add(WC_HEADERW, L"", 0, 10, 80, 200, 20);
  HWND progress = form.Add(L"ProgressBar20WndClass", L"", 0, 10, 110, 100, 12);
  HWND edit = form.Add(L"Edit", L"text", 0, 10, 130, 100, 22, WS_EX_CLIENTEDGE);
  HWND inner = form.Add(L"ThunderRT6FormDC", L"", 0, 220, 10, 150, 100);
  HWND nested = CreateWindowExW(0, L"Button", L"内", WS_CHILD | WS_VISIBLE, 5, 5, 60, 22, inner,
                                nullptr, GetModuleHandleW(nullptr), nullptr);
  const std::vector<HWND> all = {form,   push,     disabled, plainCheck, check,
                                 header, progress, edit,     inner,      nested};
  std::vector<WNDPROC> ownProcs;
  for (HWND hwnd : all) ownProcs.push_back(ProcOf(hwnd));
  const LONG_PTR pushStyle = GetWindowLongPtrW(push, GWL_STYLE);
  const LONG_PTR checkStyle = GetWindowLongPtrW(plainCheck, GWL_STYLE);

  ASSERT_EQ(modSkinner::SkinForm(form), 1);
  EXPECT_TRUE(Engine().SkinReady);
  EXPECT_TRUE(ImagesExist());
  EXPECT_EQ(Engine().SkinnedCount, static_cast<int>(all.size()));
  for (std::size_t i = 0; i < all.size(); ++i) {
    EXPECT_EQ(ProcOf(all[i]), &modSkinner::SkinWindowProc) << i;
    EXPECT_EQ(Prop(all[i], prop::PROCADDR), reinterpret_cast<LONG_PTR>(ownProcs[i])) << i;
  }
  // A push button: owner-drawn, its old style saved, four faces of its size, a region.
  EXPECT_EQ(GetWindowLongPtrW(push, GWL_STYLE) & BS_TYPEMASK, BS_OWNERDRAW);
  EXPECT_EQ(Prop(push, prop::OLDSTYLE), pushStyle);
  EXPECT_EQ(Prop(push, prop::OLDSTATE), modSkinner::kStateNormal);
  EXPECT_EQ(Prop(disabled, prop::OLDSTATE), modSkinner::kStateDisabled);
  for (int n = 0; n < 4; ++n) {
    HDC face = reinterpret_cast<HDC>(Prop(push, prop::HDC_[n]));
    HGDIOBJ bitmap = reinterpret_cast<HGDIOBJ>(Prop(push, prop::BMP_[n]));
    ASSERT_EQ(GetObjectType(face), static_cast<DWORD>(OBJ_MEMDC));
    EXPECT_EQ(GetCurrentObject(face, OBJ_BITMAP), bitmap);
    BITMAP info{};
    GetObjectW(bitmap, sizeof(info), &info);
    EXPECT_EQ(info.bmWidth, 75);
    EXPECT_EQ(info.bmHeight, 25);
  }
  HRGN region = CreateRectRgn(0, 0, 0, 0);
  HRGN expected = CreateRoundRectRgn(0, 0, 76, 26, 3, 3);
  ASSERT_NE(GetWindowRgn(push, region), ERROR);
  EXPECT_TRUE(EqualRgn(region, expected));
  // A check box of the button class keeps its style but gets faces and a region too.
  EXPECT_EQ(GetWindowLongPtrW(plainCheck, GWL_STYLE), checkStyle);
  EXPECT_NE(Prop(plainCheck, prop::HDC_[0]), 0);
  EXPECT_NE(GetWindowRgn(plainCheck, region), ERROR);
  // The other kinds: their own properties only.
  EXPECT_EQ(PropertiesLeft(check), L"PROCADDR MOUSEFLAG OLDSTATE ");
  EXPECT_EQ(PropertiesLeft(header), L"PROCADDR MOUSEFLAG HDINDEX HMINDEX ");
  EXPECT_EQ(Prop(header, prop::HDINDEX), -1);
  EXPECT_EQ(Prop(header, prop::HMINDEX), -1);
  EXPECT_EQ(PropertiesLeft(progress), L"PROCADDR ");
  EXPECT_EQ(PropertiesLeft(edit), L"PROCADDR ");
  EXPECT_EQ(PropertiesLeft(inner), L"PROCADDR ");
  EXPECT_EQ(GetWindowRgn(edit, region), ERROR);

  // Skinning again changes nothing.
  const HDC buttonImage = Engine().Images.ButtonImage;
  EXPECT_EQ(modSkinner::SkinForm(form), 0);
  EXPECT_EQ(Engine().SkinnedCount, static_cast<int>(all.size()));
  EXPECT_EQ(Engine().Images.ButtonImage, buttonImage);

  std::vector<HGDIOBJ> surfaces;
  for (int n = 0; n < 4; ++n) {
    surfaces.push_back(reinterpret_cast<HGDIOBJ>(Prop(push, prop::HDC_[n])));
    surfaces.push_back(reinterpret_cast<HGDIOBJ>(Prop(push, prop::BMP_[n])));
  }

  ASSERT_EQ(modSkinner::UnskinForm(form), 1);
  for (std::size_t i = 0; i < all.size(); ++i) {
    EXPECT_EQ(ProcOf(all[i]), ownProcs[i]) << i;
    EXPECT_EQ(PropertiesLeft(all[i]), L"") << i;
  }
  EXPECT_EQ(GetWindowLongPtrW(push, GWL_STYLE), pushStyle);
  EXPECT_EQ(GetWindowRgn(push, region), ERROR);
  EXPECT_EQ(GetWindowRgn(plainCheck, region), ERROR);
  for (HGDIOBJ object : surfaces) EXPECT_EQ(GetObjectType(object), 0u);
  EXPECT_EQ(Engine().SkinnedCount, 0);
  EXPECT_FALSE(Engine().SkinReady);
  EXPECT_EQ(Engine().Images.ButtonImage, nullptr);
  EXPECT_EQ(GetObjectType(buttonImage), 0u);
  EXPECT_EQ(modSkinner::UnskinForm(form), 0);

  // Attached again after the detach: the images are built anew.
  ASSERT_EQ(modSkinner::SkinForm(form), 1);
  EXPECT_TRUE(ImagesExist());
  EXPECT_EQ(Engine().SkinnedCount, static_cast<int>(all.size()));
  EXPECT_EQ(GetWindowLongPtrW(push, GWL_STYLE) & BS_TYPEMASK, BS_OWNERDRAW);
  EXPECT_EQ(modSkinner::UnskinForm(form), 1);
  DeleteObject(region);
  DeleteObject(expected);
}

TEST_F(AttachTest, ThePreviousProcedureFollowsAttachAndDetachAndFallsBackToTheProperty) {
  TestForm form;
  HWND edit = form.Add(L"Edit", L"", 0, 10, 10, 100, 22, WS_EX_CLIENTEDGE);
  const LONG_PTR own = reinterpret_cast<LONG_PTR>(ProcOf(edit));
  EXPECT_EQ(modSkinner::PreviousProc(edit), 0);

  ASSERT_EQ(modSkinner::AttachSkin(edit), 1);
  EXPECT_EQ(modSkinner::PreviousProc(edit), own);
  EXPECT_EQ(Prop(edit, prop::PROCADDR), own);
  // Messages reach the control's own procedure through the skin.
  SetWindowTextW(edit, L"第一项");
  wchar_t text[16] = {};
  EXPECT_EQ(GetWindowTextW(edit, text, 16), 3);
  EXPECT_STREQ(text, L"第一项");

  ASSERT_EQ(modSkinner::DetachSkin(edit), 1);
  EXPECT_EQ(modSkinner::PreviousProc(edit), 0);
  EXPECT_EQ(Prop(edit, prop::PROCADDR), 0);
  EXPECT_EQ(ProcOf(edit), reinterpret_cast<WNDPROC>(own));
  EXPECT_EQ(Engine().SkinnedCount, 0);

  // A property written by someone else is still read.
  SetPropW(edit, prop::PROCADDR, reinterpret_cast<HANDLE>(own));
  EXPECT_EQ(modSkinner::PreviousProc(edit), own);
  RemovePropW(edit, prop::PROCADDR);
  EXPECT_EQ(modSkinner::PreviousProc(edit), 0);
}

TEST_F(AttachTest, NullAndForeignHandlesAreNotAttached) {
  EXPECT_EQ(modSkinner::AttachSkin(nullptr), 0);
  EXPECT_EQ(modSkinner::DetachSkin(nullptr), 0);
  // A handle that names no window is not counted as skinned.
  EXPECT_EQ(modSkinner::AttachSkin(reinterpret_cast<HWND>(0x12345678)), 0);
  EXPECT_EQ(Engine().SkinnedCount, 0);
  // The desktop belongs to no thread of this program.
  EXPECT_EQ(modSkinner::AttachSkin(GetDesktopWindow()), 0);
  EXPECT_EQ(Engine().SkinnedCount, 0);
}

TEST_F(AttachTest, ADropDownListKeepsTheImagesAliveUntilItIsDestroyed) {
  {
    TestForm form;
    HWND combo = form.Add(L"ComboBox", L"", CBS_DROPDOWNLIST | WS_VSCROLL, 10, 10, 120, 150);
    for (const wchar_t* item : {L"一", L"二"}) {
      SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
    }
    ASSERT_EQ(modSkinner::SkinForm(form), 1);
    const int formWindows = Engine().SkinnedCount;
    COMBOBOXINFO info{};
    info.cbSize = sizeof(info);
    ASSERT_TRUE(GetComboBoxInfo(combo, &info));
    ASSERT_NE(info.hwndList, nullptr);
    EXPECT_EQ(Prop(info.hwndList, prop::PROCADDR), 0);

    // The drop list asks its combo box for colours as it paints: then it is skinned.
    SendMessageW(combo, CB_SHOWDROPDOWN, TRUE, 0);
    UpdateWindow(info.hwndList);
    Pump();
    SendMessageW(combo, CB_SHOWDROPDOWN, FALSE, 0);
    ASSERT_NE(Prop(info.hwndList, prop::PROCADDR), 0);
    EXPECT_EQ(Engine().SkinnedCount, formWindows + 1);

    const HDC boxImage = Engine().Images.BoxImage;
    EXPECT_EQ(modSkinner::UnskinForm(form), 1);
    EXPECT_EQ(Engine().SkinnedCount, 1);
    EXPECT_TRUE(Engine().SkinReady);
    EXPECT_EQ(Engine().Images.BoxImage, boxImage);
    EXPECT_EQ(modSkinner::SkinForm(form), 1);
    EXPECT_EQ(Engine().Images.BoxImage, boxImage);
    EXPECT_EQ(Engine().SkinnedCount, formWindows + 1);
  }
  // Destroying the form destroyed the combo box and its list: nothing skinned is left.
  EXPECT_EQ(Engine().SkinnedCount, 0);
  EXPECT_FALSE(Engine().SkinReady);
  EXPECT_FALSE(ImagesExist());
}

HWND OwnedPopup(HWND owner);

// Records, from a hook on this thread, every WM_NCPAINT that attaching or detaching sends
// (wParam 1, lParam the address of a zero): the window, and whether it was skinned then.
// Attaching sends it after the window is subclassed, detaching after it is restored.
struct NcPaintLog {
  struct Entry {
    HWND hwnd;
    bool skinned;
  };
  static inline std::vector<Entry> entries;
  static inline HHOOK hook = nullptr;
  static LRESULT CALLBACK OnCall(int code, WPARAM wParam, LPARAM lParam) {
    const auto* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && call->message == WM_NCPAINT && call->wParam == 1 && call->lParam &&
        *reinterpret_cast<const std::int32_t*>(call->lParam) == 0) {
      entries.push_back({call->hwnd, Prop(call->hwnd, prop::PROCADDR) != 0});
    }
    return CallNextHookEx(hook, code, wParam, lParam);
  }
  NcPaintLog() {
    entries.clear();
    hook = SetWindowsHookExW(WH_CALLWNDPROC, OnCall, nullptr, GetCurrentThreadId());
  }
  ~NcPaintLog() { UnhookWindowsHookEx(hook); }
  // Position of the window's entry in the log, -1 when it has none.
  static int At(HWND hwnd) {
    for (std::size_t i = 0; i < entries.size(); ++i) {
      if (entries[i].hwnd == hwnd) return static_cast<int>(i);
    }
    return -1;
  }
};

TEST_F(AttachTest, DescendantsAreAttachedBeforeAndDetachedBeforeTheirContainers) {
  TestForm form;
  HWND first = form.Add(L"Edit", L"", 0, 10, 10, 60, 20);
  HWND inner = form.Add(L"ThunderRT6FormDC", L"", 0, 100, 10, 150, 100);
  HWND nested = CreateWindowExW(0, L"Edit", L"", WS_CHILD | WS_VISIBLE, 5, 5, 60, 20, inner,
                                nullptr, GetModuleHandleW(nullptr), nullptr);
  HWND last = form.Add(L"Edit", L"", 0, 10, 50, 60, 20);
  for (bool attaching : {true, false}) {
    SCOPED_TRACE(attaching ? "attach" : "detach");
    NcPaintLog log;
    ASSERT_EQ(attaching ? modSkinner::SkinForm(form) : modSkinner::UnskinForm(form), 1);
    for (const auto& entry : NcPaintLog::entries) EXPECT_EQ(entry.skinned, attaching);
    for (HWND hwnd : {first, inner, nested, last, form.get()}) ASSERT_GE(NcPaintLog::At(hwnd), 0);
    // Every descendant before its container, the nested one before the inner container.
    EXPECT_LT(NcPaintLog::At(nested), NcPaintLog::At(inner));
    for (HWND hwnd : {first, inner, nested, last}) {
      EXPECT_LT(NcPaintLog::At(hwnd), NcPaintLog::At(form));
    }
    EXPECT_EQ(NcPaintLog::At(form), static_cast<int>(NcPaintLog::entries.size()) - 1);
  }
}

TEST_F(AttachTest, TheLastDetachMakesTheNextSkinFormProbeAndBuildAgain) {
  TestForm form;
  form.Add(L"Button", L"按钮", BS_PUSHBUTTON, 10, 10, 75, 25);
  ASSERT_EQ(modSkinner::SkinForm(form), 1);
  ASSERT_TRUE(Engine().HaveUserTrackMouseEvent);  // user32 has it
  // While skinned, SkinForm probes nothing: a flag changed behind its back stays.
  Engine().HaveUserTrackMouseEvent = false;
  EXPECT_EQ(modSkinner::SkinForm(form), 0);
  EXPECT_FALSE(Engine().HaveUserTrackMouseEvent);
  ASSERT_EQ(modSkinner::UnskinForm(form), 1);
  ASSERT_FALSE(Engine().SkinReady);
  // After the last detach the next SkinForm asks the system again and draws new images.
  ASSERT_EQ(modSkinner::SkinForm(form), 1);
  EXPECT_TRUE(Engine().HaveUserTrackMouseEvent);
  EXPECT_TRUE(ImagesExist());
  EXPECT_EQ(GetObjectType(Engine().Images.HeaderImage), static_cast<DWORD>(OBJ_MEMDC));
  EXPECT_EQ(modSkinner::UnskinForm(form), 1);
}

TEST_F(AttachTest, ListsGetOnlyTheProcedureAndButtonClassChecksTheRoundedRegion) {
  TestForm form;
  HWND dataList = form.Add(L"DataListWndClass", L"", 0, 10, 10, 100, 60);
  HWND check = form.Add(L"Button", L"复选", BS_AUTOCHECKBOX, 10, 80, 90, 20);
  HWND group = form.Add(L"Button", L"组", BS_GROUPBOX, 120, 80, 100, 60);
  HWND combo = form.Add(L"ComboBox", L"", CBS_DROPDOWNLIST | WS_VSCROLL, 120, 10, 120, 150);
  const LONG_PTR checkStyle = GetWindowLongPtrW(check, GWL_STYLE);
  ASSERT_EQ(modSkinner::SkinForm(form), 1);
  EXPECT_EQ(PropertiesLeft(dataList), L"PROCADDR ");
  COMBOBOXINFO info{};
  info.cbSize = sizeof(info);
  ASSERT_TRUE(GetComboBoxInfo(combo, &info));
  ASSERT_EQ(modSkinner::AttachSkin(info.hwndList), 1);  // as its colour request does
  EXPECT_EQ(PropertiesLeft(info.hwndList), L"PROCADDR ");
  HRGN region = CreateRectRgn(0, 0, 0, 0);
  EXPECT_EQ(GetWindowRgn(dataList, region), ERROR);
  EXPECT_EQ(GetWindowRgn(info.hwndList, region), ERROR);

  // A check box and a group box of the button class keep their style and painting, yet
  // get the four faces, the button properties and the 3 x 3 rounded region.
  for (HWND hwnd : {check, group}) {
    RECT bounds{};
    GetWindowRect(hwnd, &bounds);
    HRGN expected = CreateRoundRectRgn(0, 0, bounds.right - bounds.left + 1,
                                       bounds.bottom - bounds.top + 1, 3, 3);
    ASSERT_NE(GetWindowRgn(hwnd, region), ERROR);
    EXPECT_TRUE(EqualRgn(region, expected));
    DeleteObject(expected);
    for (int n = 0; n < 4; ++n) {
      EXPECT_EQ(GetObjectType(reinterpret_cast<HGDIOBJ>(Prop(hwnd, prop::HDC_[n]))),
                static_cast<DWORD>(OBJ_MEMDC));
    }
    EXPECT_EQ(Prop(hwnd, prop::OLDSTATE), modSkinner::kStateNormal);
  }
  EXPECT_EQ(GetWindowLongPtrW(check, GWL_STYLE), checkStyle);
  EXPECT_EQ(Prop(check, prop::OLDSTYLE), checkStyle);
  EXPECT_EQ(modSkinner::DetachSkin(info.hwndList), 1);
  DeleteObject(region);
}

// Stands in for a form's own procedure: counts WM_ACTIVATE and answers with a mark.
int g_activations = 0;
LRESULT CALLBACK CountingActivate(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_ACTIVATE) {
    ++g_activations;
    return 0x1234;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

TEST_F(AttachTest, ActivationWithoutAnotherWindowOnlyRunsTheFormsOwnHandling) {
  TestForm form;
  ASSERT_EQ(modSkinner::SkinForm(form), 1);
  HWND owned = OwnedPopup(form);
  const int count = Engine().SkinnedCount;
  g_activations = 0;
  EXPECT_EQ(modSkinner::OnActivate(CountingActivate, form, WM_ACTIVATE, WA_ACTIVE, 0), 0x1234);
  EXPECT_EQ(modSkinner::OnActivate(CountingActivate, form, WM_ACTIVATE, WA_INACTIVE, 0), 0x1234);
  EXPECT_EQ(g_activations, 2);
  EXPECT_EQ(Engine().SkinnedCount, count);
  EXPECT_EQ(Prop(owned, prop::PROCADDR), 0);
  // The same call naming the owned window skins it, and still runs the form's handling.
  EXPECT_EQ(modSkinner::OnActivate(CountingActivate, form, WM_ACTIVATE, WA_INACTIVE,
                                   reinterpret_cast<LPARAM>(owned)),
            0x1234);
  EXPECT_EQ(g_activations, 3);
  EXPECT_NE(Prop(owned, prop::PROCADDR), 0);
  DestroyWindow(owned);
}

// A top-level window owned by `owner`, as a dialog would be.
HWND OwnedPopup(HWND owner) {
  HWND popup = CreateWindowExW(0, L"#32770", L"owned", WS_POPUP | WS_CAPTION, 60, 700, 200, 100,
                               owner, nullptr, GetModuleHandleW(nullptr), nullptr);
  CreateWindowExW(0, L"Button", L"确定", WS_CHILD | WS_VISIBLE, 10, 10, 75, 25, popup, nullptr,
                  GetModuleHandleW(nullptr), nullptr);
  return popup;
}

TEST_F(AttachTest, ActivationSkinsOnlyWindowsOwnedByTheSkinnedContainer) {
  TestForm form;
  TestForm stranger(L"HandlerTestPlain");
  ASSERT_EQ(modSkinner::SkinForm(form), 1);
  HWND owned = OwnedPopup(form);
  HWND foreign = OwnedPopup(stranger);
  HWND ownedButton = GetWindow(owned, GW_CHILD);

  // lParam 0: activation from another application; only the form's own handling runs.
  SendMessageW(form, WM_ACTIVATE, WA_ACTIVE, 0);
  SendMessageW(form, WM_ACTIVATE, WA_INACTIVE, reinterpret_cast<LPARAM>(foreign));
  EXPECT_EQ(Prop(foreign, prop::PROCADDR), 0);
  SendMessageW(form, WM_ACTIVATE, WA_INACTIVE, reinterpret_cast<LPARAM>(owned));
  EXPECT_NE(Prop(owned, prop::PROCADDR), 0);
  EXPECT_NE(Prop(ownedButton, prop::HDC_[0]), 0);
  const int count = Engine().SkinnedCount;
  SendMessageW(form, WM_ACTIVATE, WA_ACTIVE, reinterpret_cast<LPARAM>(owned));
  EXPECT_EQ(Engine().SkinnedCount, count);

  // Destroying the skinned dialog detaches it and its button.
  DestroyWindow(owned);
  EXPECT_EQ(Engine().SkinnedCount, count - 2);
  DestroyWindow(foreign);
}

// Reads what a message box looks like while it is open, then closes it.
struct MessageBoxProbe {
  static inline bool Skinned = false;
  static inline bool ButtonHasFaces = false;
  static inline bool Seen = false;

  static BOOL CALLBACK FindBox(HWND hwnd, LPARAM) {
    wchar_t title[64] = {};
    GetWindowTextW(hwnd, title, 64);
    if (std::wstring(title) != L"提示") return TRUE;
    Seen = true;
    Skinned = modSkinner::GetSkinProp(hwnd, prop::PROCADDR) != 0;
    HWND button = FindWindowExW(hwnd, nullptr, L"Button", nullptr);
    ButtonHasFaces = button && modSkinner::GetSkinProp(button, prop::HDC_[0]) != 0;
    PostMessageW(hwnd, WM_COMMAND, IDOK, 0);
    return FALSE;
  }
  static void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD) {
    EnumThreadWindows(GetCurrentThreadId(), FindBox, 0);
  }
  static void Show(HWND owner) {
    Seen = Skinned = ButtonHasFaces = false;
    const UINT_PTR timer = SetTimer(nullptr, 0, 300, OnTimer);
    MessageBoxW(owner, L"转换处理完成！", L"提示", MB_OK | MB_ICONINFORMATION);
    KillTimer(nullptr, timer);
  }
};

TEST_F(AttachTest, AMessageBoxOwnedByTheSkinnedFormIsSkinnedAndAnotherIsNot) {
  TestForm form;
  TestForm stranger(L"HandlerTestPlain");
  ASSERT_EQ(modSkinner::SkinForm(form), 1);
  const int count = Engine().SkinnedCount;
  SetForegroundWindow(form);
  SetActiveWindow(form);
  Pump();

  MessageBoxProbe::Show(form);
  ASSERT_TRUE(MessageBoxProbe::Seen);
  EXPECT_TRUE(MessageBoxProbe::Skinned);
  EXPECT_TRUE(MessageBoxProbe::ButtonHasFaces);
  Pump();
  // Closed and destroyed: detached again.
  EXPECT_EQ(Engine().SkinnedCount, count);

  MessageBoxProbe::Show(stranger);
  ASSERT_TRUE(MessageBoxProbe::Seen);
  EXPECT_FALSE(MessageBoxProbe::Skinned);
  EXPECT_FALSE(MessageBoxProbe::ButtonHasFaces);
  Pump();
  EXPECT_EQ(Engine().SkinnedCount, count);
}

}  // namespace
