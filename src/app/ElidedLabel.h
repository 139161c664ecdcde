#pragma once

#include <QLabel>

namespace quillmark::app {

// A one-line plain-text label for captions of any length (a campaign subject, an address).
// text() keeps the whole caption; what does not fit is drawn as an ellipsis, and the whole
// caption then shows as the tooltip. The label never grows past the place it was given.
class ElidedLabel : public QLabel {
    Q_OBJECT
public:
    explicit ElidedLabel(QWidget* parent = nullptr);

    // The caption as drawn: one line, shortened with "…" when it is wider than the label.
    [[nodiscard]] QString displayedText() const;
    [[nodiscard]] bool isElided() const;

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
};

} // namespace quillmark::app
