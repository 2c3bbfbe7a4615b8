#include "app/gui/progress_window.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace ordena::gui {

namespace {

QLineEdit* field(QWidget* parent) {
    auto* edit = new QLineEdit(parent);
    edit->setReadOnly(true);
    edit->setAlignment(Qt::AlignRight);
    edit->setMinimumWidth(110);
    edit->setFocusPolicy(Qt::NoFocus);
    return edit;
}

QString number(double value) { return QString::asprintf("%.5f", value); }

}  // namespace

ProgressWindow::ProgressWindow(bool jointMaximumLikelihood, QWidget* parent)
    : QDialog(parent), jointMaximumLikelihood_(jointMaximumLikelihood) {
    setWindowTitle("Convergence Progress");
    setModal(false);
    setAttribute(Qt::WA_ShowWithoutActivating);

    auto* top = new QFormLayout;
    iteration_ = field(this);
    iterationLabel_ = new QLabel("Iteration Number:", this);
    top->addRow(iterationLabel_, iteration_);

    auto* changes = new QGroupBox("Changes", this);
    auto* form = new QFormLayout(changes);
    deviance_ = field(changes);
    items_ = field(changes);
    regression_ = field(changes);
    covariance_ = field(changes);
    itemsLabel_ = new QLabel("Items", changes);
    regressionLabel_ = new QLabel("Regression Change", changes);
    covarianceLabel_ = new QLabel("(Co)Variance Change", changes);
    devianceLabel_ = new QLabel("Deviance", changes);
    form->addRow(devianceLabel_, deviance_);
    form->addRow(itemsLabel_, items_);
    form->addRow(regressionLabel_, regression_);
    form->addRow(covarianceLabel_, covariance_);

    if (jointMaximumLikelihood) {
        devianceLabel_->setText("Cases:");
        itemsLabel_->setText("Items:");
        regressionLabel_->clear();
        covarianceLabel_->clear();
    }

    stop_ = new QPushButton("Stop Estimation", this);
    stop_->setAutoDefault(false);
    connect(stop_, &QPushButton::clicked, this, &ProgressWindow::stopRequested);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(stop_);
    buttons->addStretch();

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(changes);
    layout->addLayout(buttons);
}

void ProgressWindow::showIteration(int iteration) { iteration_->setText(QString::number(iteration)); }

void ProgressWindow::showChanges(const ProgressChanges& c) {
    if (c.hasDeviance) deviance_->setText(number(c.deviance));
    if (c.hasItem) items_->setText(number(c.item));
    if (jointMaximumLikelihood_) return;
    if (!c.regressionLabel.isEmpty()) {
        regressionLabel_->setText(QString::fromStdString(c.regressionLabel.str()));
        regression_->setText(number(c.regression));
    }
    if (!c.covarianceLabel.isEmpty()) covarianceLabel_->setText(QString::fromStdString(c.covarianceLabel.str()));
    covariance_->setText(number(c.covariance));
}

QStringList ProgressWindow::labels() const {
    return {iterationLabel_->text(), devianceLabel_->text(), itemsLabel_->text(), regressionLabel_->text(),
            covarianceLabel_->text()};
}

QStringList ProgressWindow::fields() const {
    return {iteration_->text(), deviance_->text(), items_->text(), regression_->text(), covariance_->text()};
}

QString ProgressWindow::fieldText(const QString& label) const {
    const int at = label.isEmpty() ? -1 : static_cast<int>(labels().indexOf(label));
    return at < 0 ? QString() : fields()[at];
}

}  // namespace ordena::gui
