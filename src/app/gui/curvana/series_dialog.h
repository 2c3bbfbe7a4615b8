// The series dialog of the plotting component: what a series is (a
// logistic item characteristic curve, or a scatter of the point pairs of a
// file) and how it is drawn.
#pragma once

#include <QDialog>

#include "app/gui/prompter.h"
#include "plot/graph.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QRadioButton;
class QSpinBox;

namespace ordena::gui {

class SeriesDialog : public QDialog {
    Q_OBJECT
public:
    // creating: the series is new, and cancelling asks first.
    SeriesDialog(Prompter& prompter, const CSeries& series, bool creating, QWidget* parent = nullptr);

    // The series as OK left it.
    const CSeries& series() const { return series_; }

    // OK: makes the points (again, when what defines them changed); a
    // message and the dialog stays open when they cannot be made.
    void accept() override;
    // Cancel: while creating, asks whether to give the series up.
    void reject() override;

private:
    BoxAnswer message(const QString& text, BoxIcon icon, BoxButtons buttons = BoxButtons::Ok);
    void browse();
    void viewSource();
    void showType();

    Prompter& prompter_;
    CSeries series_;
    bool creating_;
    QRadioButton* icc_;
    QRadioButton* scatter_;
    QLineEdit* source_;
    QLineEdit* location_;
    QLineEdit* slope_;
    QLineEdit* thetaMin_;
    QLineEdit* thetaMax_;
    QSpinBox* steps_;
    QComboBox* lineStyle_;
    QComboBox* lineColour_;
    QComboBox* pointStyle_;
    QComboBox* pointColour_;
    QSpinBox* pointSize_;
    QCheckBox* showLine_;
    QCheckBox* showPoints_;
    QCheckBox* inLegend_;
    QCheckBox* visible_;
    QWidget* iccBox_;
    QWidget* scatterBox_;
};

}  // namespace ordena::gui
