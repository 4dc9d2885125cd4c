#include "app/layout.h"

#include <array>

#include "app/maker_texts.h"

namespace tarnwick::app {

namespace {

using enum ControlType;

// Name, type, container, caption, left, top, width, height (twips), tab index.
constexpr std::array<ControlEntry, 21> kLayout{{
    {L"Command2", kCommandButton, L"", L"开始处理", 7320, 120, 1095, 975, 18},
    {L"iFrame1", kFrame, L"", L"", 120, 600, 7095, 495, 8},
    {L"Command3", kCommandButton, L"iFrame1", L"选择目录", 3480, 60, 990, 375, 17},
    {L"Text2", kTextBox, L"iFrame1", L"", 1080, 120, 2295, 270, 16},
    {L"Text1", kTextBox, L"iFrame1", L"", 6000, 120, 975, 270, 10},
    {L"Label9", kLabel, L"iFrame1", L"保存目录：", 120, 160, 900, 180, 15},
    {L"Label1", kLabel, L"iFrame1", L"每个文件行数：", 4680, 165, 1260, 180, 9},
    {L"iFrame5", kFrame, L"", L"", 120, 3240, 8295, 495, 4},
    {L"Timer1", kTimer, L"iFrame5", L"", 3480, 0, 0, 0, -1},
    {L"Label7", kLabel, L"iFrame5", L"总共处理行数：0", 6840, 160, 1350, 180, 7},
    {L"Label6", kLabel, L"iFrame5", L"0 秒", 840, 165, 360, 180, 6},
    {L"Label5", kLabel, L"iFrame5", L"已用时：", 120, 160, 720, 180, 5},
    {L"iFrame4", kFrame, L"", L"", 120, 1200, 8295, 1935, 2},
    {L"Label8", kLabel, L"iFrame4", maker::kHomePage, 2040, 1440, 2070, 180, 14},
    {L"Label4", kLabel, L"iFrame4", maker::kMessengerContact, 240, 1440, 1260, 180, 13},
    // What the next job will do (frmMain::ShowSplitSummary).
    {L"Label3", kLabel, L"iFrame4", L"", 240, 1080, 3780, 180, 12},
    {L"Label2", kLabel, L"iFrame4", maker::kName, 240, 720, 1440, 180, 11},
    {L"iFrame3", kFrame, L"", L"", 120, 120, 7095, 495, 1},
    {L"Command1", kCommandButton, L"iFrame3", L"选择文件", 6000, 60, 975, 375, 0},
    {L"Text4", kTextBox, L"iFrame3", L"", 1080, 120, 4815, 270, 3},
    {L"Label10", kLabel, L"iFrame3", L"源文件：", 120, 160, 720, 180, 19},
}};

}  // namespace

std::span<const ControlEntry> MainWindowLayout() {
  return kLayout;
}

std::wstring MainWindowTitle() {
  return std::wstring(L"Tarnwick  ") + maker::kTitleContact;
}

}  // namespace tarnwick::app
