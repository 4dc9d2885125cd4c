// cFileDialog: the system's Open and Save file dialogs behind a few properties and three
// methods. One OPENFILENAMEW record (in its 400 form) lives as long as the object and is
// handed to the system on every Show.
#pragma once

#include <windows.h>
#include <commdlg.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace tarnwick::dialogs {

// Number of the error a cancelled dialog reports when CancelError is set.
inline constexpr long kCancelErrorNumber = 32755;

// An error reported by a dialog class: number, source and description.
class CommonDialogError : public std::runtime_error {
 public:
  CommonDialogError(long number, std::wstring source, std::wstring description);
  long Number() const { return number_; }
  const std::wstring& Source() const { return source_; }
  const std::wstring& Description() const { return description_; }

 private:
  long number_;
  std::wstring source_;
  std::wstring description_;
};

// The program's executable file name without folder and extension ("tarnwick").
std::wstring ExecutableBaseName();

class cFileDialog {
 public:
  static constexpr DWORD kOfnAllowMultiSelect = 0x200;
  static constexpr DWORD kOfnExplorer = 0x80000;
  static constexpr std::size_t kSingleBufferLength = 1024;
  static constexpr std::size_t kMultiBufferLength = 8192;
  static constexpr std::size_t kMaxFilterLength = 32767;

  cFileDialog();
  cFileDialog(const cFileDialog&) = delete;
  cFileDialog& operator=(const cFileDialog&) = delete;

  bool CancelError() const { return cancel_error_; }
  void CancelError(bool bCancelError) { cancel_error_ = bCancelError; }

  const std::wstring& Filename() const { return filename_; }
  // Stores the name and fills the file buffer with it, spaces up to 1024 characters and two
  // NULs; then throws std::invalid_argument when the name is longer than 1024 characters.
  void Filename(const std::wstring& sFilename);

  const std::wstring& FileTitle() const { return file_title_; }
  void FileTitle(const std::wstring& vNewValue) { file_title_ = vNewValue; }

  const std::wstring& Filter() const { return filter_; }
  // "|" and ":" become NUL, two NULs are appended. Throws std::overflow_error (and changes
  // nothing) for a text longer than 32,767 characters.
  void Filter(const std::wstring& sFilter);

  long FilterIndex() const { return static_cast<long>(record_.nFilterIndex); }
  void FilterIndex(long lFilterIndex) { record_.nFilterIndex = static_cast<DWORD>(lFilterIndex); }

  const std::wstring& DefaultExt() const { return default_ext_; }
  void DefaultExt(const std::wstring& sDefaultExt);

  std::wstring DialogTitle() const { return record_.lpstrTitle ? record_.lpstrTitle : L""; }
  void DialogTitle(const std::wstring& vNewValue);

  long Flags() const { return flags_; }
  void Flags(long vNewValue) { flags_ = vNewValue; }

  HWND hWnd() const { return record_.hwndOwner; }
  void hWnd(HWND vNewValue) { record_.hwndOwner = vNewValue; }

  const std::wstring& InitDir() const { return init_dir_; }
  void InitDir(const std::wstring& vNewValue);

  // Shows the Open dialog; on success updates Filename. A cancelled (or failed) dialog
  // throws CommonDialogError 32755 when CancelError is set; Filename keeps its value.
  void ShowOpen();
  // Shows the Save dialog (single selection); as ShowOpen otherwise.
  void ShowSave();

  // Splits Filename as left by a multiple-selection Open: the folder and the file names.
  // lFileCount counts on from the value passed in the multiple case.
  void ParseMultiFileName(std::wstring& sDir, std::vector<std::wstring>& sFiles,
                          long& lFileCount) const;

  // The record as it stands (what the next Show hands to the system, before its buffers
  // are rebuilt).
  const OPENFILENAMEW& Record() const { return record_; }

 private:
  enum class Kind { kOpen, kSave };
  void Show(Kind kind);

  OPENFILENAMEW record_{};
  bool cancel_error_ = false;
  std::wstring filename_;
  std::wstring file_title_;
  std::wstring filter_;
  std::wstring default_ext_;
  long flags_ = 0;
  std::wstring init_dir_;
  // Buffers the record points at.
  std::wstring filter_buffer_;
  std::wstring default_ext_buffer_;
  std::wstring dialog_title_buffer_;
  std::wstring init_dir_buffer_;
  std::vector<wchar_t> file_buffer_;
  std::vector<wchar_t> title_buffer_;
};

}  // namespace tarnwick::dialogs
