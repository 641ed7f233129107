#pragma once

#include <QImage>
#include <QWidget>

namespace controls {

// A photo frame: shows its picture stretched to its size and reports clicks and dropped files.
class PictureFrame final : public QWidget {
    Q_OBJECT
public:
    explicit PictureFrame(QWidget* parent);
    void setPicture(const QImage& picture);
    [[nodiscard]] const QImage& picture() const { return m_picture; }

Q_SIGNALS:
    void clicked();
    void fileDropped(const QString& path);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    QImage m_picture;
    bool m_pressed = false;
};

} // namespace controls
