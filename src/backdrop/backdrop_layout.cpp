#include "backdrop/backdrop_layout.h"

#include <array>

namespace backdrop {

using controls::ControlDesign;
using controls::ControlKind;
using controls::Fit;
using controls::rgb;
using controls::systemColour;

namespace {

    constexpr controls::FormDesign kForm { "Form2", "Form2", 18465, 10800, 0x008000 };

    constexpr auto kLabel = ControlKind::Label;
    constexpr auto kLine = ControlKind::Line;
    const auto kWindowText = systemColour(QPalette::WindowText);
    constexpr auto kWhite = rgb(0xFFFFFF);
    constexpr int kTableLine = 3; // pixels

    // The time texts shrink rather than spill when a locale writes a long date or time.
    // A line's rectangle holds its end points X1, Y1, X2, Y2: together they draw the table's octagon.
    // clang-format off
    const std::array kControls {
        ControlDesign { .name = "Label6", .kind = kLabel, .rect = { 360, 2040, 1695, 375 }, .text = "当前时间：", .fontPoints = 14.25 },
        ControlDesign { .name = "Label_T", .kind = kLabel, .rect = { 390, 2400, 1515, 675 }, .fontPoints = 14.25, .foreground = kWindowText, .fit = Fit::Shrink },
        ControlDesign { .name = "Label5", .kind = kLabel, .rect = { 360, 3120, 1935, 375 }, .text = "比赛已进行：", .fontPoints = 14.25 },
        ControlDesign { .name = "Label_time", .kind = kLabel, .rect = { 300, 3450, 2595, 315 }, .fontPoints = 14.25, .foreground = rgb(0xFF8000), .fit = Fit::Shrink },
        ControlDesign { .name = "Label1", .kind = kLabel, .rect = { 8100, 9990, 15, 255 }, .text = "Vellorin" },
        ControlDesign { .name = "Line5", .kind = kLine, .rect = { 13500, 990, 4860, 990 }, .foreground = kWhite, .penWidth = kTableLine },
        ControlDesign { .name = "Line2", .kind = kLine, .rect = { 13500, 990, 15300, 2670 }, .foreground = kWhite, .penWidth = kTableLine },
        ControlDesign { .name = "Line7", .kind = kLine, .rect = { 15300, 2670, 15300, 8190 }, .foreground = kWhite, .penWidth = kTableLine },
        ControlDesign { .name = "Line4", .kind = kLine, .rect = { 13500, 9870, 15300, 8190 }, .foreground = kWhite, .penWidth = kTableLine },
        ControlDesign { .name = "Line8", .kind = kLine, .rect = { 13500, 9870, 4860, 9870 }, .foreground = kWhite, .penWidth = kTableLine },
        ControlDesign { .name = "Line3", .kind = kLine, .rect = { 3060, 8190, 4860, 9870 }, .foreground = kWhite, .penWidth = kTableLine },
        ControlDesign { .name = "Line6", .kind = kLine, .rect = { 3060, 2670, 3060, 8190 }, .foreground = kWhite, .penWidth = kTableLine },
        ControlDesign { .name = "Line1", .kind = kLine, .rect = { 4860, 990, 3060, 2670 }, .foreground = kWhite, .penWidth = kTableLine },
    };
    // clang-format on

} // namespace

const controls::FormDesign& backdropDesign() { return kForm; }

std::span<const ControlDesign> backdropControls() { return kControls; }

} // namespace backdrop
