// The estimation's progress window, "Convergence Progress": the iteration
// number, the largest changes of the last iteration, and a button that asks
// the estimation to stop.
#pragma once

#include <QDialog>

#include "base/shell.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace ordena::gui {

class ProgressWindow : public QDialog {
    Q_OBJECT
public:
    // jointMaximumLikelihood relabels the fields for cases and items and
    // leaves the regression and covariance fields blank.
    ProgressWindow(bool jointMaximumLikelihood, QWidget* parent);

    void showIteration(int iteration);
    void showChanges(const ProgressChanges& changes);

    // The labels from the top and the texts of their fields.
    QStringList labels() const;
    QStringList fields() const;
    // The field next to a label.
    QString fieldText(const QString& label) const;
    QPushButton* stopButton() const { return stop_; }

signals:
    void stopRequested();

private:
    QLineEdit* iteration_;
    QLineEdit* deviance_;
    QLineEdit* items_;
    QLineEdit* regression_;
    QLineEdit* covariance_;
    bool jointMaximumLikelihood_;
    QLabel* iterationLabel_;
    QLabel* devianceLabel_;
    QLabel* itemsLabel_;
    QLabel* regressionLabel_;
    QLabel* covarianceLabel_;
    QPushButton* stop_;
};

}  // namespace ordena::gui
