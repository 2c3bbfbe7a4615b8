#include "app/gui/curvana/series_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleValidator>
#include <QFile>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "app/gui/curvana/fields.h"
#include "app/gui/gui_shell.h"

namespace ordena::gui {

namespace {

constexpr const char* kSourceFilter = "Data Files (*.dat)|*.dat|Text Files (*.txt)|*.txt|All Files (*.*)|*.*||";

}  // namespace

SeriesDialog::SeriesDialog(Prompter& prompter, const CSeries& series, bool creating, QWidget* parent)
    : QDialog(parent), prompter_(prompter), series_(series), creating_(creating) {
    setWindowTitle("Series: " + toQString(series.name));

    auto* type = new QGroupBox("Type", this);
    icc_ = new QRadioButton("Item Characteristic Curve (ICC)", type);
    icc_->setObjectName("typeIcc");
    scatter_ = new QRadioButton("Scatter (points from a file)", type);
    scatter_->setObjectName("typeScatter");
    (series.type == kSeriesIcc ? icc_ : scatter_)->setChecked(true);
    auto* typeLayout = new QVBoxLayout(type);
    typeLayout->addWidget(icc_);
    typeLayout->addWidget(scatter_);

    auto* scatterBox = new QGroupBox("Scatter", this);
    scatterBox_ = scatterBox;
    source_ = new QLineEdit(toQString(series.source), scatterBox);
    source_->setObjectName("source");
    auto* browse = new QPushButton("Browse...", scatterBox);
    auto* view = new QPushButton("View...", scatterBox);
    browse->setAutoDefault(false);
    view->setAutoDefault(false);
    connect(browse, &QPushButton::clicked, this, &SeriesDialog::browse);
    connect(view, &QPushButton::clicked, this, &SeriesDialog::viewSource);
    auto* sourceLayout = new QHBoxLayout(scatterBox);
    sourceLayout->addWidget(new QLabel("Source file:", scatterBox));
    sourceLayout->addWidget(source_, 1);
    sourceLayout->addWidget(browse);
    sourceLayout->addWidget(view);

    auto* iccBox = new QGroupBox("Item Characteristic Curve", this);
    iccBox_ = iccBox;
    const bool isIcc = series.type == kSeriesIcc && series.steps > 0;
    location_ = numberField("location", series.location, iccBox);
    slope_ = numberField("slope", series.slope, iccBox);
    thetaMin_ = numberField("thetaMin", isIcc ? series.minX : -4.0, iccBox);
    thetaMax_ = numberField("thetaMax", isIcc ? series.maxX : 4.0, iccBox);
    steps_ = countField("steps", 1, kSeriesCapacity - 1, isIcc ? series.steps : 80, iccBox);
    auto* iccLayout = new QFormLayout(iccBox);
    iccLayout->addRow("Location (a):", location_);
    iccLayout->addRow("Slope (b):", slope_);
    iccLayout->addRow("Theta Min:", thetaMin_);
    iccLayout->addRow("Theta Max:", thetaMax_);
    iccLayout->addRow("Steps:", steps_);

    auto* display = new QGroupBox("Display", this);
    const SeriesStyle& st = series.style;
    lineStyle_ = listField("lineStyle", kLineStyleNames, kLineStyles, st.lineStyle, display);
    lineColour_ = listField("lineColour", kColourNames, kColours, st.lineColour, display);
    pointStyle_ = listField("pointStyle", kPointStyleNames, kPointStyles, st.pointStyle, display);
    pointColour_ = listField("pointColour", kColourNames, kColours, st.pointColour, display);
    pointSize_ = countField("pointSize", 0, 9, st.pointSize, display);
    showLine_ = switchField("showLine", "Join the points with a line", st.showLine != 0, display);
    showPoints_ = switchField("showPoints", "Mark the points", st.showPoints != 0, display);
    inLegend_ = switchField("inLegend", "Show in the legend", st.inLegend != 0, display);
    visible_ = switchField("visible", "Visible", st.visible != 0, display);
    auto* displayLayout = new QFormLayout(display);
    displayLayout->addRow("Line style:", lineStyle_);
    displayLayout->addRow("Line colour:", lineColour_);
    displayLayout->addRow("Point style:", pointStyle_);
    displayLayout->addRow("Point colour:", pointColour_);
    displayLayout->addRow("Point size:", pointSize_);
    displayLayout->addRow(showLine_);
    displayLayout->addRow(showPoints_);
    displayLayout->addRow(inLegend_);
    displayLayout->addRow(visible_);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &SeriesDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &SeriesDialog::reject);
    connect(icc_, &QRadioButton::toggled, this, &SeriesDialog::showType);

    auto* left = new QVBoxLayout;
    left->addWidget(type);
    left->addWidget(iccBox);
    left->addWidget(scatterBox);
    left->addStretch();
    auto* columns = new QHBoxLayout;
    columns->addLayout(left);
    columns->addWidget(display);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel("Series: " + toQString(series.name), this));
    layout->addLayout(columns);
    layout->addWidget(buttons);
    showType();
}

BoxAnswer SeriesDialog::message(const QString& text, BoxIcon icon, BoxButtons buttons) {
    return prompter_.box(this, "Curvana", text, icon, buttons);
}

void SeriesDialog::showType() {
    iccBox_->setEnabled(icc_->isChecked());
    scatterBox_->setEnabled(scatter_->isChecked());
}

void SeriesDialog::browse() {
    const QString path = prompter_.openFileName(this, "Source File", kSourceFilter, QString());
    if (!path.isEmpty()) source_->setText(path);
}

void SeriesDialog::viewSource() {
    const QString path = source_->text().trimmed();
    if (path.isEmpty()) {
        message("Please choose a source file.", BoxIcon::Warning);
        return;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        message(QString("File '%1' not found, try again.").arg(path), BoxIcon::Warning);
        return;
    }
    // The file as it stands, read-only, in a window of its own.
    auto* viewer = new QDialog(this);
    viewer->setAttribute(Qt::WA_DeleteOnClose);
    viewer->setWindowTitle(path);
    auto* text = new QPlainTextEdit(QString::fromUtf8(file.read(4 << 20)), viewer);
    text->setReadOnly(true);
    text->setLineWrapMode(QPlainTextEdit::NoWrap);
    auto* layout = new QVBoxLayout(viewer);
    layout->addWidget(text);
    viewer->resize(500, 400);
    viewer->show();
}

void SeriesDialog::accept() {
    CSeries s = series_;
    s.style.lineStyle = lineStyle_->currentIndex();
    s.style.lineColour = lineColour_->currentIndex();
    s.style.pointStyle = pointStyle_->currentIndex();
    s.style.pointColour = pointColour_->currentIndex();
    s.style.pointSize = pointSize_->value();
    s.style.showLine = showLine_->isChecked() ? 1 : 0;
    s.style.showPoints = showPoints_->isChecked() ? 1 : 0;
    s.style.inLegend = inLegend_->isChecked() ? 1 : 0;
    s.style.visible = visible_->isChecked() ? 1 : 0;

    MString problem;
    if (icc_->isChecked()) {
        double a = 0, b = 0, low = 0, high = 0;
        if (!readNumber(location_, a) || !readNumber(slope_, b) || !readNumber(thetaMin_, low) ||
            !readNumber(thetaMax_, high)) {
            message("The location, slope and theta values must be numbers.", BoxIcon::Warning);
            return;
        }
        const bool same = series_.type == kSeriesIcc && series_.steps == steps_->value() && series_.location == a &&
                          series_.slope == b && !series_.points.empty() && series_.minX == low &&
                          series_.maxX == high;
        if (!same && makeIccSeries(s, a, b, low, high, steps_->value(), problem) != 1) {
            message(toQString(problem), BoxIcon::Warning);
            return;
        }
    } else {
        const QString path = source_->text().trimmed();
        // Points that came from elsewhere (a plot statement's curves have no
        // source) stay as they are while the source is left alone.
        const bool same = series_.type == kSeriesScatter && toQString(series_.source) == path &&
                          !series_.points.empty();
        if (!same && path.isEmpty()) {
            message("Please choose a source file.", BoxIcon::Warning);
            return;
        }
        if (!same) {
            if (readScatterFile(s, toMString(path), problem) != 1) {
                message(toQString(problem), BoxIcon::Warning);
                return;
            }
            if (!problem.isEmpty()) message(toQString(problem), BoxIcon::Information);
        }
    }
    series_ = s;
    QDialog::accept();
}

void SeriesDialog::reject() {
    if (creating_ &&
        message(QString("Are you sure you want to cancel the creation of series '%1'?").arg(toQString(series_.name)),
                BoxIcon::Question, BoxButtons::YesNo) != BoxAnswer::Yes)
        return;
    QDialog::reject();
}

}  // namespace ordena::gui
