// A check box whose caption wraps onto further lines inside its box, as a
// classic check box does when its caption is wider than the control.
#pragma once

#include <QCheckBox>

class WrappingCheckBox : public QCheckBox
{
    Q_OBJECT

public:
    using QCheckBox::QCheckBox;

protected:
    void paintEvent(QPaintEvent *event) override;
    bool hitButton(const QPoint &pos) const override;
};
