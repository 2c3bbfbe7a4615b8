#include "app/gui/curvana/graph_options_dialogs.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDoubleValidator>
#include <QFormLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "app/gui/curvana/fields.h"
#include "app/gui/gui_shell.h"

namespace ordena::gui {

namespace {

QDialogButtonBox* okCancel(QDialog* dialog) {
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return buttons;
}

QLineEdit* textField(const QString& name, const MString& value, QWidget* parent) {
    auto* edit = new QLineEdit(toQString(value), parent);
    edit->setObjectName(name);
    return edit;
}

}  // namespace

PlotOptionsDialog::PlotOptionsDialog(const GraphOptions& options, QWidget* parent)
    : QDialog(parent), original_(options) {
    setWindowTitle("Plot Options");
    auto* texts = new QGroupBox("Texts", this);
    title_ = textField("title", options.title, texts);
    heading_ = textField("heading", options.heading, texts);
    xTitle_ = textField("xTitle", options.xTitle, texts);
    yTitle_ = textField("yTitle", options.yTitle, texts);
    notes_ = new QPlainTextEdit(texts);
    notes_->setObjectName("notes");
    QStringList lines;
    for (const MString& note : options.notes) lines << toQString(note);
    notes_->setPlainText(lines.join('\n'));
    notes_->setMaximumHeight(80);
    auto* textLayout = new QFormLayout(texts);
    textLayout->addRow("Title:", title_);
    textLayout->addRow("Heading:", heading_);
    textLayout->addRow("X-axis title:", xTitle_);
    textLayout->addRow("Y-axis title:", yTitle_);
    textLayout->addRow("Notes:", notes_);

    auto* axes = new QGroupBox("Axes", this);
    xAuto_ = switchField("xAuto", "X axis follows the points", options.xAuto != 0, axes);
    xMin_ = numberField("xMin", options.xMin, axes);
    xMax_ = numberField("xMax", options.xMax, axes);
    yAuto_ = switchField("yAuto", "Y axis follows the points", options.yAuto != 0, axes);
    yMin_ = numberField("yMin", options.yMin, axes);
    yMax_ = numberField("yMax", options.yMax, axes);
    auto* axisLayout = new QFormLayout(axes);
    axisLayout->addRow(xAuto_);
    axisLayout->addRow("X from:", xMin_);
    axisLayout->addRow("X to:", xMax_);
    axisLayout->addRow(yAuto_);
    axisLayout->addRow("Y from:", yMin_);
    axisLayout->addRow("Y to:", yMax_);
    auto follow = [this] {
        xMin_->setEnabled(!xAuto_->isChecked());
        xMax_->setEnabled(!xAuto_->isChecked());
        yMin_->setEnabled(!yAuto_->isChecked());
        yMax_->setEnabled(!yAuto_->isChecked());
    };
    connect(xAuto_, &QCheckBox::toggled, this, follow);
    connect(yAuto_, &QCheckBox::toggled, this, follow);
    follow();

    auto* picture = new QGroupBox("Picture", this);
    legend_ = switchField("legend", "Legend", options.legend != 0, picture);
    grid_ = switchField("grid", "Grid lines", options.grid != 0, picture);
    width_ = countField("width", 100, 8000, options.width, picture);
    height_ = countField("height", 100, 8000, options.height, picture);
    auto* pictureLayout = new QFormLayout(picture);
    pictureLayout->addRow(legend_);
    pictureLayout->addRow(grid_);
    pictureLayout->addRow("Width (pixels):", width_);
    pictureLayout->addRow("Height (pixels):", height_);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(texts);
    layout->addWidget(axes);
    layout->addWidget(picture);
    layout->addWidget(okCancel(this));
}

GraphOptions PlotOptionsDialog::options() const {
    GraphOptions o = original_;
    o.title = toMString(title_->text());
    o.heading = toMString(heading_->text());
    o.xTitle = toMString(xTitle_->text());
    o.yTitle = toMString(yTitle_->text());
    o.notes.clear();
    const QString notes = notes_->toPlainText();
    if (!notes.isEmpty())
        for (const QString& line : notes.split('\n')) o.notes.push_back(toMString(line));
    o.legend = legend_->isChecked() ? 1 : 0;
    o.grid = grid_->isChecked() ? 1 : 0;
    o.xAuto = xAuto_->isChecked() ? 1 : 0;
    o.yAuto = yAuto_->isChecked() ? 1 : 0;
    readNumber(xMin_, o.xMin);
    readNumber(xMax_, o.xMax);
    readNumber(yMin_, o.yMin);
    readNumber(yMax_, o.yMax);
    o.width = width_->value();
    o.height = height_->value();
    return o;
}

PlotColoursDialog::PlotColoursDialog(int scheme, QWidget* parent) : QDialog(parent) {
    setWindowTitle("Plot Colour Options");
    auto* group = new QGroupBox("Colour scheme", this);
    auto* groupLayout = new QVBoxLayout(group);
    for (int k = 0; k < kColourSchemes; ++k) {
        schemes_[k] = new QRadioButton(kColourSchemeNames[k], group);
        schemes_[k]->setObjectName("scheme" + QString::number(k));
        groupLayout->addWidget(schemes_[k]);
    }
    schemes_[scheme >= 0 && scheme < kColourSchemes ? scheme : 0]->setChecked(true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addWidget(okCancel(this));
}

int PlotColoursDialog::scheme() const {
    for (int k = 0; k < kColourSchemes; ++k)
        if (schemes_[k]->isChecked()) return k;
    return 0;
}

PlotPrecisionDialog::PlotPrecisionDialog(int xPrecision, int yPrecision, QWidget* parent) : QDialog(parent) {
    setWindowTitle("Plot Precision Options");
    x_ = countField("xPrecision", 0, 10, axisPrecision(xPrecision), this);
    y_ = countField("yPrecision", 0, 10, axisPrecision(yPrecision), this);
    auto* form = new QFormLayout;
    form->addRow("Digits after the point, x axis:", x_);
    form->addRow("Digits after the point, y axis:", y_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(okCancel(this));
}

int PlotPrecisionDialog::xPrecision() const { return x_->value(); }
int PlotPrecisionDialog::yPrecision() const { return y_->value(); }

}  // namespace ordena::gui
