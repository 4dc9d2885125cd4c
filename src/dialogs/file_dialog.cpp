#include "dialogs/file_dialog.h"

#include <climits>

#include "platform/text_convert.h"

namespace tarnwick::dialogs {

namespace {

// The text before the first NUL character, or the whole text when it has none.
std::wstring TrimAtNull(const std::wstring& text) {
  const std::size_t nul = text.find(L'\0');
  return nul == std::wstring::npos ? text : text.substr(0, nul);
}

// `text` followed by NULs up to `length` characters (plus a terminating NUL the system
// never counts). A text that does not fit, up to its first NUL, leaves the buffer empty:
// the dialog is never handed a buffer shorter than the length it is told.
std::vector<wchar_t> MakeDialogBuffer(const std::wstring& text, std::size_t length) {
  std::vector<wchar_t> buffer(length + 1, L'\0');
  const std::wstring meaningful = TrimAtNull(text);
  if (meaningful.size() < length) meaningful.copy(buffer.data(), meaningful.size());
  return buffer;
}

}  // namespace

CommonDialogError::CommonDialogError(long number, std::wstring source, std::wstring description)
    : std::runtime_error(platform::WideToUtf8(description)),
      number_(number),
      source_(std::move(source)),
      description_(std::move(description)) {}

std::wstring ExecutableBaseName() {
  std::vector<wchar_t> path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return L"";
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(path.size() * 2);
  }
  std::wstring name(path.begin(), path.end());
  const std::size_t slash = name.find_last_of(L"\\/");
  if (slash != std::wstring::npos) name.erase(0, slash + 1);
  const std::size_t dot = name.rfind(L'.');
  if (dot != std::wstring::npos) name.erase(dot);
  return name;
}

cFileDialog::cFileDialog() {
  record_.lStructSize = OPENFILENAME_SIZE_VERSION_400W;
  record_.nFilterIndex = 1;
}

void cFileDialog::Filename(const std::wstring& sFilename) {
  filename_ = sFilename;
  file_buffer_.assign(kSingleBufferLength + 2, L' ');
  const std::size_t copied = std::min(sFilename.size(), kSingleBufferLength);
  sFilename.copy(file_buffer_.data(), copied);
  file_buffer_[kSingleBufferLength] = L'\0';
  file_buffer_[kSingleBufferLength + 1] = L'\0';
  record_.lpstrFile = file_buffer_.data();
  if (sFilename.size() > kSingleBufferLength) {
    throw std::invalid_argument("file name longer than 1024 characters");
  }
}

void cFileDialog::Filter(const std::wstring& sFilter) {
  if (sFilter.size() > kMaxFilterLength) {
    throw std::overflow_error("filter longer than 32767 characters");
  }
  std::wstring converted = sFilter;
  for (wchar_t& c : converted) {
    if (c == L'|' || c == L':') c = L'\0';
  }
  converted.append(2, L'\0');
  filter_ = sFilter;
  filter_buffer_ = std::move(converted);
  record_.lpstrFilter = filter_buffer_.c_str();
}

void cFileDialog::DefaultExt(const std::wstring& sDefaultExt) {
  default_ext_ = sDefaultExt;
  default_ext_buffer_ = sDefaultExt + std::wstring(2, L'\0');
  record_.lpstrDefExt = default_ext_buffer_.c_str();
}

void cFileDialog::DialogTitle(const std::wstring& vNewValue) {
  dialog_title_buffer_ = vNewValue;
  // An empty title leaves the system's default caption.
  record_.lpstrTitle = dialog_title_buffer_.empty() ? nullptr : dialog_title_buffer_.c_str();
}

void cFileDialog::InitDir(const std::wstring& vNewValue) {
  init_dir_ = vNewValue;
  init_dir_buffer_ = vNewValue + std::wstring(2, L'\0');
  record_.lpstrInitialDir = init_dir_buffer_.c_str();
}

void cFileDialog::ShowOpen() {
  Show(Kind::kOpen);
}

void cFileDialog::ShowSave() {
  Show(Kind::kSave);
}

void cFileDialog::Show(Kind kind) {
  record_.Flags = static_cast<DWORD>(flags_);
  const bool multiple = kind == Kind::kOpen && (record_.Flags & kOfnAllowMultiSelect) != 0;
  if (multiple) record_.Flags |= kOfnExplorer;
  const std::size_t length = multiple ? kMultiBufferLength : kSingleBufferLength;

  file_buffer_ = MakeDialogBuffer(filename_, length);
  record_.lpstrFile = file_buffer_.data();
  record_.nMaxFile = static_cast<DWORD>(length);
  title_buffer_ = MakeDialogBuffer(file_title_, length);
  record_.lpstrFileTitle = title_buffer_.data();
  record_.nMaxFileTitle = static_cast<DWORD>(length);

  const BOOL chosen = kind == Kind::kOpen ? GetOpenFileNameW(&record_) : GetSaveFileNameW(&record_);
  if (chosen) {
    const std::wstring whole(file_buffer_.data(), length);
    filename_ = multiple ? whole : TrimAtNull(whole);
    return;
  }
  if (cancel_error_) {
    throw CommonDialogError(
        kCancelErrorNumber,
        ExecutableBaseName() + (kind == Kind::kOpen ? L".cFileDialog" : L".cFilenDialog"),
        L"User selected cancel.");
  }
}

void cFileDialog::ParseMultiFileName(std::wstring& sDir, std::vector<std::wstring>& sFiles,
                                     long& lFileCount) const {
  const std::size_t pair = filename_.find(std::wstring(2, L'\0'));
  const std::wstring head = pair == std::wstring::npos ? std::wstring() : filename_.substr(0, pair);
  std::size_t nul = head.find(L'\0');
  if (nul != std::wstring::npos) {
    // Several files: directory, NUL, name, NUL, name ...
    sDir = head.substr(0, nul);
    while (nul != std::wstring::npos) {
      const std::size_t start = nul + 1;
      nul = head.find(L'\0', start);
      const std::wstring name = head.substr(start, nul == std::wstring::npos ? nul : nul - start);
      if (lFileCount < 0 || lFileCount == LONG_MAX) {
        throw std::out_of_range("file count out of range");
      }
      ++lFileCount;
      sFiles.resize(static_cast<std::size_t>(lFileCount));
      sFiles[static_cast<std::size_t>(lFileCount - 1)] = name;
    }
    return;
  }
  // A single path.
  lFileCount = 1;
  sFiles.assign(1, std::wstring());
  const std::size_t slash = filename_.rfind(L'\\');
  if (slash != std::wstring::npos) {
    sDir = filename_.substr(0, slash + 1);
    sFiles[0] = TrimAtNull(filename_.substr(slash + 1));
  } else {
    sDir.clear();
    sFiles[0] = filename_;
  }
}

}  // namespace tarnwick::dialogs
