#include "panel/panel_layout.h"

#include <array>

namespace panel {

using controls::ControlDesign;
using controls::ControlKind;
using controls::Fit;
using controls::systemColour;
using controls::TextAlign;

namespace {

    constexpr controls::FormDesign kForm { "Form1", "TarnelloV1.9", 9855, 7680, 0x008000 };

    constexpr auto kButton = ControlKind::Button;
    constexpr auto kLabel = ControlKind::Label;
    constexpr QRgb kGreen = 0x008000;
    constexpr QRgb kYellow = 0xFFFF80;
    constexpr QRgb kRed = 0xFF0000;
    const auto kWindowText = systemColour(QPalette::WindowText);
    constexpr int kFrameBorder = 3; // pixels

    // Scores and "VS" keep their squares: a wider number or face shrinks the font, never the box.
    // clang-format off
    const std::array kControls {
        ControlDesign { .name = "Label3", .kind = kLabel, .rect = { 3840, 2760, 2000, 2000 }, .text = "VS", .fontPoints = 99.75, .fit = Fit::Shrink, .fittedPixels = 124, .fittedStretch = 85 },
        ControlDesign { .name = "Label5", .kind = kLabel, .rect = { 3960, 7440, 1935, 255 }, .text = "Billiard Score v1.9", .fit = Fit::Shrink },
        ControlDesign { .name = "Shape1", .kind = ControlKind::Shape, .rect = { 600, 1080, 2890, 5770 }, .background = kRed, .foreground = kWindowText, .penWidth = kFrameBorder },
        ControlDesign { .name = "Shape2", .kind = ControlKind::Shape, .rect = { 6240, 1080, 2890, 5770 }, .background = kRed, .foreground = kWindowText, .penWidth = kFrameBorder },
        ControlDesign { .name = "Image1", .kind = ControlKind::PictureFrame, .rect = { 960, 1320, 2160, 2050 } },
        ControlDesign { .name = "Image2", .kind = ControlKind::PictureFrame, .rect = { 6600, 1320, 2160, 2050 } },
        ControlDesign { .name = "Label2", .kind = kLabel, .rect = { 6480, 3480, 2410, 2410 }, .text = "0", .fontPoints = 120, .background = kYellow, .align = TextAlign::Centre, .fit = Fit::Shrink },
        ControlDesign { .name = "Label1", .kind = kLabel, .rect = { 840, 3480, 2410, 2410 }, .text = "0", .fontPoints = 120, .background = kYellow, .align = TextAlign::Centre, .fit = Fit::Shrink },
        ControlDesign { .name = "Text1", .kind = ControlKind::TextBox, .rect = { 600, 480, 3010, 560 }, .text = "选手1", .fontPoints = 21.75, .background = kGreen, .foreground = kWindowText, .align = TextAlign::Centre, .tabIndex = 0, .toolTip = "选手姓名" },
        ControlDesign { .name = "Text2", .kind = ControlKind::TextBox, .rect = { 6120, 480, 3010, 560 }, .text = "选手2", .fontPoints = 21.75, .background = kGreen, .foreground = kWindowText, .align = TextAlign::Centre, .tabIndex = 5, .toolTip = "选手姓名" },
        ControlDesign { .name = "Command1", .kind = kButton, .rect = { 960, 6120, 1095, 490 }, .text = "+(A)", .fontPoints = 20.25, .tabIndex = 1, .enabled = false },
        ControlDesign { .name = "Command2", .kind = kButton, .rect = { 2130, 6120, 1005, 490 }, .text = "-(D)", .fontPoints = 20.25, .tabIndex = 2, .enabled = false },
        ControlDesign { .name = "Command3", .kind = kButton, .rect = { 6600, 6120, 1065, 490 }, .text = "+(J)", .fontPoints = 20.25, .tabIndex = 3, .enabled = false },
        ControlDesign { .name = "Command4", .kind = kButton, .rect = { 7740, 6120, 1035, 490 }, .text = "-(L)", .fontPoints = 20.25, .tabIndex = 4, .enabled = false },
        ControlDesign { .name = "Command8", .kind = kButton, .rect = { 4290, 6840, 1290, 375 }, .text = "开始比赛", .tabIndex = 13 },
        ControlDesign { .name = "Command9", .kind = kButton, .rect = { 2400, 30, 1455, 370 }, .text = "隐藏按钮（F2）", .tabIndex = 14 },
        ControlDesign { .name = "Command7", .kind = kButton, .rect = { 3840, 30, 945, 370 }, .text = "最小(F3)", .tabIndex = 11 },
        ControlDesign { .name = "Command6", .kind = kButton, .rect = { 4770, 30, 1035, 370 }, .text = "全屏(F11)", .tabIndex = 10 },
        ControlDesign { .name = "Command5", .kind = kButton, .rect = { 5790, 30, 1065, 370 }, .text = "关闭(F4)", .tabIndex = 8 },
    };
    // clang-format on

} // namespace

const controls::FormDesign& panelDesign() { return kForm; }

std::span<const ControlDesign> panelControls() { return kControls; }

} // namespace panel
