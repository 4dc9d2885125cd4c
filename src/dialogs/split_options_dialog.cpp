#include "dialogs/split_options_dialog.h"

#include <optional>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/gdi_guards.h"
#include "platform/message_box.h"
#include "platform/ui_metrics.h"
#include "skin/skin_engine.h"

namespace tarnwick::dialogs {

namespace {

// The class names under which the skin engine paints check boxes and option buttons: the
// system's button, registered again under these names.
constexpr wchar_t kCheckClass[] = L"ThunderRT6CheckBox";
constexpr wchar_t kOptionClass[] = L"ThunderRT6OptionButton";

enum class Kind { kLabel, kHint, kExample, kOption, kFirstOption, kCheck, kBox, kList, kButton };

struct DialogControl {
  int id;
  Kind kind;
  const wchar_t* caption;
  int left, top, width, height;  // twips in the client area; labels size themselves
};

// Labels have ids of their own, so that every control can be found by its id.
constexpr int kFirstLabelId = 200;
constexpr int kClientWidthTwips = 6300;
constexpr int kClientHeightTwips = 4335;

// In tab order, which is the order of creation: top to bottom, a label before the control
// its access key leads to, the option buttons of a group next to each other.
constexpr DialogControl kControls[] = {
    {kFirstLabelId, Kind::kLabel, L"切分方式：", 180, 150, 0, 180},
    {kByLinesOption, Kind::kFirstOption, L"按行数(&L)", 360, 420, 1440, 270},
    {kBySizeOption, Kind::kOption, L"按大小(&S)", 360, 750, 1440, 270},
    {kByPartsOption, Kind::kOption, L"按份数(&P)", 360, 1080, 1440, 270},
    {kFirstLabelId + 1, Kind::kHint, L"使用主窗口的“每个文件行数”", 1860, 465, 0, 180},
    {kSizeBox, Kind::kBox, L"", 1860, 750, 1080, 270},
    {kSizeUnitList, Kind::kList, L"", 3030, 735, 840, 1500},
    {kFirstLabelId + 2, Kind::kHint, L"（1 KB = 1000 字节）", 3960, 795, 0, 180},
    {kPartsBox, Kind::kBox, L"", 1860, 1080, 1080, 270},
    {kFirstLabelId + 3, Kind::kHint, L"份（大小相近）", 3030, 1125, 0, 180},
    {kHeaderCheck, Kind::kCheck, L"每个文件开头重复前(&H)", 180, 1530, 2250, 270},
    {kHeaderLinesBox, Kind::kBox, L"", 2460, 1530, 600, 270},
    {kFirstLabelId + 4, Kind::kLabel, L"行（表头）", 3120, 1575, 0, 180},
    {kKeepCheck, Kind::kCheck, L"保持原样（不去空格，保留空行和原来的换行符）(&K)", 180, 1890, 4950,
     270},
    {kFirstLabelId + 5, Kind::kLabel, L"文件名(&N)：", 180, 2385, 0, 180},
    {kNamePatternBox, Kind::kBox, L"", 1260, 2340, 2400, 270},
    {kFirstLabelId + 6, Kind::kLabel, L"起始编号(&B)：", 3840, 2385, 0, 180},
    {kFirstNumberBox, Kind::kBox, L"", 5160, 2340, 960, 270},
    {kNameExample, Kind::kExample, L"", 1260, 2670, 4860, 180},
    {kFirstLabelId + 7, Kind::kLabel, L"已有的同名文件：", 180, 3030, 0, 180},
    {kAppendOption, Kind::kFirstOption, L"追加到末尾(&A)", 360, 3300, 1800, 270},
    {kReplaceOption, Kind::kOption, L"清空后重写(&R)", 2340, 3300, 1800, 270},
    {kDefaultsButton, Kind::kButton, L"恢复默认(&D)", 180, 3780, 1200, 375},
    {IDOK, Kind::kButton, L"确定", 3780, 3780, 1125, 375},
    {IDCANCEL, Kind::kButton, L"取消", 4995, 3780, 1125, 375},
};

constexpr DWORD kDialogStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;

// A number field: its box, the words the messages call it by, the least value.
struct NumberField {
  int box;
  const wchar_t* name;
  std::int32_t least;
};
constexpr NumberField kSizeField{kSizeBox, L"按大小", 1};
constexpr NumberField kPartsField{kPartsBox, L"按份数", 1};
constexpr NumberField kHeaderField{kHeaderLinesBox, L"每个文件开头重复前…行（表头）", 1};
constexpr NumberField kFirstNumberField{kFirstNumberBox, L"起始编号", 0};

// A field that keeps the dialog open: its control and the message.
struct FieldFault {
  int id;
  std::wstring message;
};

// Registers the system's button again under `name`, for the skin engine's kinds.
void RegisterButtonClass(const wchar_t* name) {
  WNDCLASSEXW info{};
  info.cbSize = sizeof(info);
  if (GetClassInfoExW(GetModuleHandleW(nullptr), name, &info)) return;
  if (!GetClassInfoExW(nullptr, L"Button", &info)) return;
  info.cbSize = sizeof(info);
  info.hInstance = GetModuleHandleW(nullptr);
  info.lpszClassName = name;
  info.style &= ~CS_GLOBALCLASS;
  RegisterClassExW(&info);
}

// A dialog template without controls: they are made at the owner's DPI when it opens.
std::vector<WORD> EmptyTemplate(const std::wstring& title) {
  // Style, extended style, no items, position and size, no menu, the dialog class; title.
  std::vector<WORD> words = {LOWORD(kDialogStyle), HIWORD(kDialogStyle), 0, 0, 0, 0, 0, 0, 0, 0, 0};
  words.insert(words.end(), title.begin(), title.end());
  words.push_back(0);
  return words;
}

class SplitOptionsDialog {
 public:
  SplitOptionsDialog(const SplitOptionsRequest& request, SplitSettings& settings)
      : request_(request), settings_(settings) {}

  bool Run() {
    RegisterButtonClass(kCheckClass);
    RegisterButtonClass(kOptionClass);
    const std::wstring title = request_.read_only
                                   ? std::wstring(kSplitOptionsTitle) + L"（处理中，只能查看）"
                                   : std::wstring(kSplitOptionsTitle);
    const std::vector<WORD> dialog_template = EmptyTemplate(title);
    return DialogBoxIndirectParamW(GetModuleHandleW(nullptr),
                                   reinterpret_cast<const DLGTEMPLATE*>(dialog_template.data()),
                                   request_.owner, &DialogProc,
                                   reinterpret_cast<LPARAM>(this)) == IDOK;
  }

 private:
  static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
    auto* dialog = reinterpret_cast<SplitOptionsDialog*>(GetWindowLongPtrW(hwnd, DWLP_USER));
    if (!dialog) return FALSE;
    try {
      return dialog->HandleMessage(hwnd, message, wParam, lParam);
    } catch (...) {
      // No error may leave a dialog procedure; the dialog's own handling goes on.
      return FALSE;
    }
  }

  INT_PTR HandleMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
      case WM_INITDIALOG:
        hwnd_ = hwnd;
        OnInitDialog();
        return FALSE;  // the focus is set
      case WM_COMMAND:
        OnCommand(LOWORD(wParam), HIWORD(wParam));
        return TRUE;
      case WM_CTLCOLORSTATIC:
        return OnStaticColor(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
      case platform::kGetDpiScaledSizeMessage:
        *reinterpret_cast<SIZE*>(lParam) = OuterSize(static_cast<int>(wParam));
        SetWindowLongPtrW(hwnd_, DWLP_MSGRESULT, TRUE);
        return TRUE;
      case WM_DPICHANGED:
        OnDpiChanged(HIWORD(wParam), reinterpret_cast<const RECT*>(lParam));
        return TRUE;
      default:
        return FALSE;
    }
  }

  void OnInitDialog() {
    StopSystemDpiScaling();
    UseDpi(request_.dpi);
    for (const DialogControl& control : kControls) CreateControl(control);
    for (const wchar_t* unit : kSizeUnitNames) {
      SendMessageW(Item(kSizeUnitList), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(unit));
    }
    SendMessageW(Item(kNamePatternBox), EM_LIMITTEXT, 200, 0);
    EnableWindow(Item(IDOK), !request_.read_only);
    SendMessageW(hwnd_, DM_SETDEFID, IDOK, 0);
    Show(settings_);
    PlaceOverOwner();
    modSkinner::SkinForm(hwnd_);
    SendMessageW(hwnd_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(CheckedModeOption())), TRUE);
  }

  // The dialog lays itself out again when its DPI changes; the system must not scale it.
  void StopSystemDpiScaling() {
    using SetBehaviour = BOOL(WINAPI*)(HWND, int, int);
    constexpr int kDisableAll = 1;  // DDC_DISABLE_ALL
    const auto set_behaviour = reinterpret_cast<SetBehaviour>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"user32.dll"), "SetDialogDpiChangeBehavior")));
    if (set_behaviour) set_behaviour(hwnd_, kDisableAll, kDisableAll);
  }

  void UseDpi(int dpi) {
    dpi_ = dpi;
    own_font_.reset(dpi == platform::SystemDpi() ? nullptr : platform::CreateUiFont(dpi));
  }
  HFONT Font() const { return own_font_ ? own_font_.get() : platform::DefaultUiFont(); }
  int Pixels(int twips) const { return platform::TwipsToPixels(twips, dpi_); }
  HWND Item(int id) const { return GetDlgItem(hwnd_, id); }

  SIZE OuterSize(int dpi) const {
    const RECT client{0, 0, platform::TwipsToPixels(kClientWidthTwips, dpi),
                      platform::TwipsToPixels(kClientHeightTwips, dpi)};
    const RECT outer =
        platform::OuterRectForDpi(client, static_cast<DWORD>(GetWindowLongPtrW(hwnd_, GWL_STYLE)),
                                  static_cast<DWORD>(GetWindowLongPtrW(hwnd_, GWL_EXSTYLE)), dpi);
    return SIZE{outer.right - outer.left, outer.bottom - outer.top};
  }

  void CreateControl(const DialogControl& control) {
    DWORD style = WS_CHILD | WS_VISIBLE;
    DWORD ex_style = 0;
    const wchar_t* window_class = L"Static";
    switch (control.kind) {
      case Kind::kLabel:
      case Kind::kHint:
        style |= WS_GROUP | SS_LEFT;
        break;
      case Kind::kExample:
        style |= WS_GROUP | SS_LEFTNOWORDWRAP | SS_NOPREFIX | SS_ENDELLIPSIS;
        break;
      case Kind::kFirstOption:
        style |= WS_GROUP | WS_TABSTOP | BS_AUTORADIOBUTTON;
        window_class = kOptionClass;
        break;
      case Kind::kOption:
        style |= BS_AUTORADIOBUTTON;
        window_class = kOptionClass;
        break;
      case Kind::kCheck:
        style |= WS_GROUP | WS_TABSTOP | BS_AUTOCHECKBOX;
        window_class = kCheckClass;
        break;
      case Kind::kBox:
        style |= WS_GROUP | WS_TABSTOP | ES_AUTOHSCROLL;
        ex_style = WS_EX_CLIENTEDGE;
        window_class = L"Edit";
        break;
      case Kind::kList:
        style |= WS_GROUP | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST;
        window_class = L"ComboBox";
        break;
      case Kind::kButton:
        style |= WS_GROUP | WS_TABSTOP | (control.id == IDOK ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
        window_class = L"Button";
        break;
    }
    HWND hwnd = CreateWindowExW(ex_style, window_class, control.caption, style, 0, 0, 0, 0, hwnd_,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(control.id)),
                                GetModuleHandleW(nullptr), nullptr);
    Place(control, hwnd);
  }

  // Puts a control at its twips in the current font; labels sized to their caption.
  void Place(const DialogControl& control, HWND hwnd) const {
    if (!hwnd) return;
    SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(Font()), FALSE);
    SIZE size{Pixels(control.left + control.width) - Pixels(control.left),
              Pixels(control.top + control.height) - Pixels(control.top)};
    if (control.kind == Kind::kLabel || control.kind == Kind::kHint) {
      size = platform::MeasureText(control.caption, lstrlenW(control.caption), Font());
    }
    SetWindowPos(hwnd, nullptr, Pixels(control.left), Pixels(control.top), size.cx, size.cy,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  }

  void PlaceOverOwner() {
    RECT owner{};
    if (!request_.owner || !GetWindowRect(request_.owner, &owner)) {
      SystemParametersInfoW(SPI_GETWORKAREA, 0, &owner, 0);
    }
    const SIZE size = OuterSize(dpi_);
    SetWindowPos(hwnd_, nullptr, (owner.left + owner.right - size.cx) / 2,
                 (owner.top + owner.bottom - size.cy) / 2, size.cx, size.cy,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  }

  // Another monitor or another scale: everything made again for the new DPI, the skin taken
  // off around it (the buttons' faces and regions are made at their size).
  void OnDpiChanged(int dpi, const RECT* suggested) {
    if (dpi <= 0) return;
    modSkinner::UnskinForm(hwnd_);
    const platform::OwnedFont old_font =
        std::move(own_font_);  // in use until every control has the new one
    UseDpi(dpi);
    const SIZE size = OuterSize(dpi);
    SetWindowPos(hwnd_, nullptr, suggested ? suggested->left : 0, suggested ? suggested->top : 0,
                 size.cx, size.cy, SWP_NOZORDER | SWP_NOACTIVATE | (suggested ? 0 : SWP_NOMOVE));
    for (const DialogControl& control : kControls) Place(control, Item(control.id));
    modSkinner::SkinForm(hwnd_);
    RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
  }

  void OnCommand(int id, int code) {
    switch (id) {
      case IDOK:
        OnOk();
        return;
      case IDCANCEL:
        EndDialog(hwnd_, IDCANCEL);
        return;
      case kDefaultsButton:
        if (code == BN_CLICKED) Show(SplitSettings{});
        return;
      case kNamePatternBox:
      case kFirstNumberBox:
        if (code == EN_CHANGE) ShowExample();
        return;
      case kByLinesOption:
      case kBySizeOption:
      case kByPartsOption:
      case kHeaderCheck:
      case kAppendOption:
      case kReplaceOption:
        if (code == BN_CLICKED) EnableFields();
        return;
      default:
        return;
    }
  }

  // Enter or 确定: valid options close the dialog; the first field that is not valid is
  // named in a message and gets the focus, and the dialog stays.
  void OnOk() {
    if (request_.read_only) return;  // a running job's options are fixed
    SplitSettings chosen = settings_;
    if (const auto fault = Read(chosen)) {
      platform::ShowMessageBox(hwnd_, fault->message, L"错误", platform::MessageIcon::kError);
      SendMessageW(hwnd_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(fault->id)), TRUE);
      return;
    }
    settings_ = chosen;
    EndDialog(hwnd_, IDOK);
  }

  bool Checked(int id) const { return SendMessageW(Item(id), BM_GETCHECK, 0, 0) == BST_CHECKED; }
  void Check(int id, bool checked) const {
    SendMessageW(Item(id), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
  }
  std::wstring Text(int id) const {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(Item(id))) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        GetWindowTextW(Item(id), text.data(), static_cast<int>(text.size()))));
    return text;
  }
  void SetText(int id, const std::wstring& text) const { SetWindowTextW(Item(id), text.c_str()); }

  // The option button of each way of cutting.
  static constexpr std::pair<CutBy, int> kCutOptions[] = {{CutBy::kLines, kByLinesOption},
                                                          {CutBy::kBytes, kBySizeOption},
                                                          {CutBy::kParts, kByPartsOption}};
  CutBy ChosenCut() const {
    for (const auto& [cut, option] : kCutOptions) {
      if (Checked(option)) return cut;
    }
    return CutBy::kLines;
  }
  int CheckedModeOption() const {
    for (const auto& [cut, option] : kCutOptions) {
      if (cut == ChosenCut()) return option;
    }
    return kByLinesOption;
  }

  // The controls show `settings`.
  void Show(const SplitSettings& settings) {
    for (const auto& [cut, option] : kCutOptions) Check(option, settings.cut_by == cut);
    SetText(kSizeBox, std::to_wstring(settings.size));
    SendMessageW(Item(kSizeUnitList), CB_SETCURSEL, static_cast<WPARAM>(settings.unit), 0);
    SetText(kPartsBox, std::to_wstring(settings.parts));
    Check(kHeaderCheck, settings.repeat_header);
    SetText(kHeaderLinesBox, std::to_wstring(settings.header_lines));
    Check(kKeepCheck, settings.keep_lines);
    SetText(kNamePatternBox, settings.name_pattern);
    SetText(kFirstNumberBox, std::to_wstring(settings.first_number));
    Check(kAppendOption, !settings.replace_existing);
    Check(kReplaceOption, settings.replace_existing);
    EnableFields();
    ShowExample();
  }

  // The boxes of a way of cutting that is not chosen, and the header's count while it is
  // off, are greyed. Tab reaches an option group at its checked option.
  void EnableFields() const {
    const CutBy cut = ChosenCut();
    EnableWindow(Item(kSizeBox), cut == CutBy::kBytes);
    EnableWindow(Item(kSizeUnitList), cut == CutBy::kBytes);
    EnableWindow(Item(kPartsBox), cut == CutBy::kParts);
    EnableWindow(Item(kHeaderLinesBox), Checked(kHeaderCheck));
    for (const int id :
         {kByLinesOption, kBySizeOption, kByPartsOption, kAppendOption, kReplaceOption}) {
      const LONG_PTR style = GetWindowLongPtrW(Item(id), GWL_STYLE);
      SetWindowLongPtrW(Item(id), GWL_STYLE,
                        Checked(id) ? style | WS_TABSTOP : style & ~LONG_PTR{WS_TABSTOP});
    }
  }

  // The names the files would get, or in red why the pattern or number cannot be used.
  void ShowExample() {
    example_fault_ = true;
    const std::wstring pattern = Text(kNamePatternBox);
    if (const auto problem = PatternProblem(pattern)) {
      SetText(kNameExample, L"文件名无效：" + *problem);
    } else if (const auto first = ParseWholeNumber(Text(kFirstNumberBox), 0)) {
      example_fault_ = false;
      SetText(kNameExample, ExampleNames(pattern, *first, request_.source_path));
    } else {
      SetText(kNameExample, L"起始编号无效：" + NumberRule(kFirstNumberField));
    }
    InvalidateRect(Item(kNameExample), nullptr, TRUE);
  }

  static std::wstring NumberRule(const NumberField& field) {
    return L"请填写 " + std::to_wstring(field.least) + L" 到 " + std::to_wstring(kLargestCount) +
           L" 之间的整数。";
  }

  // Reads a number field into `value`; a field in use whose text is not a number it takes
  // is a fault, one that is not in use keeps its value.
  std::optional<FieldFault> ReadNumber(const NumberField& field, bool used,
                                       std::int32_t& value) const {
    if (const auto number = ParseWholeNumber(Text(field.box), field.least)) {
      value = *number;
    } else if (used) {
      return FieldFault{field.box,
                        L"“" + std::wstring(field.name) + L"”无效：" + NumberRule(field)};
    }
    return std::nullopt;
  }

  // The options the controls show, over `settings`; the first faulty field, top to bottom.
  std::optional<FieldFault> Read(SplitSettings& settings) const {
    settings.cut_by = ChosenCut();
    settings.repeat_header = Checked(kHeaderCheck);
    settings.keep_lines = Checked(kKeepCheck);
    settings.replace_existing = Checked(kReplaceOption);
    const LRESULT unit = SendMessageW(Item(kSizeUnitList), CB_GETCURSEL, 0, 0);
    if (unit >= 0 && unit < 3) settings.unit = static_cast<SizeUnit>(unit);
    for (const auto& [field, used, value] :
         {std::tuple{kSizeField, settings.cut_by == CutBy::kBytes, &settings.size},
          std::tuple{kPartsField, settings.cut_by == CutBy::kParts, &settings.parts},
          std::tuple{kHeaderField, settings.repeat_header, &settings.header_lines}}) {
      if (auto fault = ReadNumber(field, used, *value)) return fault;
    }
    const std::wstring pattern = Text(kNamePatternBox);
    if (const auto problem = PatternProblem(pattern)) {
      return FieldFault{kNamePatternBox, L"“文件名”无效：" + *problem + L"。"};
    }
    settings.name_pattern = pattern;
    return ReadNumber(kFirstNumberField, true, settings.first_number);
  }

  // Hints in the system's grey text; the example in red while it shows a fault.
  INT_PTR OnStaticColor(HDC hdc, HWND control) const {
    const int id = GetDlgCtrlID(control);
    const DialogControl* found = nullptr;
    for (const DialogControl& entry : kControls) {
      if (entry.id == id) found = &entry;
    }
    const bool hint = found && found->kind == Kind::kHint;
    if (!hint && id != kNameExample) return FALSE;
    SetTextColor(hdc, hint ? GetSysColor(COLOR_GRAYTEXT)
                           : (example_fault_ ? kFaultColor : GetSysColor(COLOR_BTNTEXT)));
    SetBkColor(hdc, GetSysColor(COLOR_BTNFACE));
    return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_BTNFACE));
  }

  const SplitOptionsRequest& request_;
  SplitSettings& settings_;
  HWND hwnd_ = nullptr;
  int dpi_ = 96;
  platform::OwnedFont own_font_;  // null at the system DPI: the shared default font is used
  bool example_fault_ = false;
};

}  // namespace

bool ShowSplitOptionsDialog(const SplitOptionsRequest& request, SplitSettings& settings) {
  return SplitOptionsDialog(request, settings).Run();
}

}  // namespace tarnwick::dialogs
