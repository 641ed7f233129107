#pragma once

// The control panel: names, photos, scores and the operator's buttons. Form1 owns all state:
// the match (match::Match), the full-screen, minimise and hidden-buttons state, and the
// backdrop window it writes into. Its handlers turn clicks, keys, ticks and mouse moves into
// one call on the match or one window command, then write the result into the controls.
// The layout is a table (form1_layout), the keys another (key_map), dragging is Drag.

#include <QPointer>

#include <array>
#include <functional>
#include <memory>

#include "backdrop/form2.h"
#include "match/match.h"
#include "match/tick_schedule.h"
#include "panel/drag.h"
#include "panel/key_map.h"
#include "platform/clock.h"
#include "platform/controls.h"
#include "platform/file_dialog.h"
#include "platform/form.h"
#include "platform/picture_loader.h"
#include "platform/timer.h"

class QLineEdit;
class QPushButton;

namespace panel {

// What the panel needs from outside; tests hand in fakes.
struct Services {
    platform::Clock& clock;
    platform::FileDialog& fileDialog;
    const platform::PictureLoader& pictureLoader;
    std::function<void()> quit;
};

class Form1 final : public platform::Form {
    Q_OBJECT
public:
    explicit Form1(Services services);
    ~Form1() override;

    // The backdrop, created hidden on first use.
    [[nodiscard]] backdrop::Form2& backdrop();
    [[nodiscard]] bool hasBackdrop() const { return m_backdrop != nullptr; }
    [[nodiscard]] const match::Match& match() const { return m_match; }
    [[nodiscard]] bool isFullScreen() const { return m_fullScreen; }
    [[nodiscard]] int restoreBackdrop() const { return m_restoreBackdrop; }
    [[nodiscard]] platform::Timer& timer1() { return m_timer1; }
    [[nodiscard]] platform::Timer& timer2() { return m_timer2; }

    void run(Command command);

    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    void Command5_Click();
    void Command6_Click();
    void Command7_Click();
    void Command8_Click();
    void Command9_Click();
    void Image1_Click();
    void Image2_Click();
    void Timer1_Timer();
    void Timer2_Timer();
    void Form_Resize();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void showScore(match::Player player);
    void showMatchState();
    void loadPhoto(platform::PictureFrame* frame, const QString& path);
    void choosePhoto(platform::PictureFrame* frame);
    void keepInFrontOfBackdrop(bool on);

    Services m_services;
    match::Match m_match;
    match::TickSchedule m_schedule;
    platform::Timer m_timer1;
    platform::Timer m_timer2;
    std::unique_ptr<backdrop::Form2> m_backdrop;
    Drag m_drag;
    bool m_fullScreen = false;
    bool m_buttonsHidden = false;
    int m_restoreBackdrop = 0;

    // Controls by design name, looked up once.
    std::array<QPushButton*, 10> m_command {}; // [1]..[9]
    std::array<QLineEdit*, 2> m_text {};
    std::array<platform::Label*, 2> m_score {};
    std::array<platform::PictureFrame*, 2> m_image {};
};

} // namespace panel
