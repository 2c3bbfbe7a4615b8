// The graph's options, colour scheme and number precision, each in its own
// dialog (Plot > Options, Colours, Precision).
#pragma once

#include <QDialog>

#include "plot/graph.h"

class QCheckBox;
class QLineEdit;
class QPlainTextEdit;
class QRadioButton;
class QSpinBox;

namespace ordena::gui {

class PlotOptionsDialog : public QDialog {
    Q_OBJECT
public:
    PlotOptionsDialog(const GraphOptions& options, QWidget* parent = nullptr);
    // The options as the fields give them; fields that are not numbers keep
    // their old values.
    GraphOptions options() const;

private:
    GraphOptions original_;
    QLineEdit* title_;
    QLineEdit* heading_;
    QLineEdit* xTitle_;
    QLineEdit* yTitle_;
    QPlainTextEdit* notes_;
    QCheckBox* legend_;
    QCheckBox* grid_;
    QCheckBox* xAuto_;
    QCheckBox* yAuto_;
    QLineEdit* xMin_;
    QLineEdit* xMax_;
    QLineEdit* yMin_;
    QLineEdit* yMax_;
    QSpinBox* width_;
    QSpinBox* height_;
};

class PlotColoursDialog : public QDialog {
    Q_OBJECT
public:
    PlotColoursDialog(int scheme, QWidget* parent = nullptr);
    int scheme() const;

private:
    QRadioButton* schemes_[kColourSchemes];
};

class PlotPrecisionDialog : public QDialog {
    Q_OBJECT
public:
    PlotPrecisionDialog(int xPrecision, int yPrecision, QWidget* parent = nullptr);
    int xPrecision() const;
    int yPrecision() const;

private:
    QSpinBox* x_;
    QSpinBox* y_;
};

}  // namespace ordena::gui
