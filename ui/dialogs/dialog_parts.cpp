#include "ui/dialogs/dialog_parts.h"

#include <QCheckBox>
#include <QDialog>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QShortcut>
#include <QStyle>
#include <QStyleOptionGroupBox>
#include <algorithm>

#include "ui/artwork.h"
#include "ui/controls/group_enabler.h"
#include "ui/controls/image_button.h"

namespace {
// Keeps a check box over its group box's title area whenever the box moves or resizes.
class EdgeCheckPlacer : public QObject {
public:
    EdgeCheckPlacer(QGroupBox* box, QCheckBox* check) : QObject(box), m_box(box), m_check(check) {
        box->installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == m_box && (event->type() == QEvent::Move || event->type() == QEvent::Resize ||
                                 event->type() == QEvent::Show))
            Place();
        return false;
    }

private:
    void Place() {
        QStyleOptionGroupBox option;
        option.initFrom(m_box);
        option.text = m_box->title();
        option.subControls = QStyle::SC_GroupBoxLabel | QStyle::SC_GroupBoxFrame;
        const QRect label = m_box->style()->subControlRect(QStyle::CC_GroupBox, &option,
                                                           QStyle::SC_GroupBoxLabel, m_box);
        const QSize size = m_check->sizeHint();
        const QPoint topLeft = m_box->mapToParent(label.topLeft());
        // As wide as the title it covers, so that no end of the title shows beside it.
        m_check->setGeometry(topLeft.x(), topLeft.y() + (label.height() - size.height()) / 2,
                             std::max(size.width(), label.width()), size.height());
        m_check->raise();
    }

    QGroupBox* m_box;
    QCheckBox* m_check;
};
} // namespace

QLabel* MakeGroupIcon(const char* resource, QWidget* parent) {
    auto* icon = new QLabel(parent);
    icon->setObjectName(QStringLiteral("iconLabel"));
    icon->setPixmap(LoadPicture(QString::fromLatin1(resource)));
    icon->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return icon;
}

QLabel* MakeExplanation(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QStringLiteral("explanationLabel"));
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    CGroupEnabler::MarkExplanatory(label);
    return label;
}

QCheckBox* AddEdgeCheckBox(QGroupBox* box, const QString& text) {
    auto* check = new QCheckBox(text, box->parentWidget());
    // The box's own title keeps the gap in the frame; the check box covers it.
    check->setAutoFillBackground(true);
    const int indicator = check->style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, check) +
                          check->style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, check);
    const int spaceWidth = std::max(1, check->fontMetrics().horizontalAdvance(QLatin1Char(' ')));
    box->setTitle(QString(indicator / spaceWidth + 2, QLatin1Char(' ')) + text);
    new EdgeCheckPlacer(box, check);
    return check;
}

void AddNumberRow(QGridLayout* layout, int row, const QString& caption, QWidget* edit,
                  const QString& unit) {
    QWidget* parent = layout->parentWidget();
    auto* label = new QLabel(caption, parent);
    label->setBuddy(edit);
    layout->addWidget(label, row, 1);
    layout->addWidget(edit, row, 2);
    if (!unit.isEmpty())
        layout->addWidget(new QLabel(unit, parent), row, 3);
}

QHBoxLayout* MakeOkCancelRow(QDialog* dialog, CImageButton*& ok, CImageButton*& cancel) {
    ok = new CImageButton(QStringLiteral("OK"), dialog);
    ok->setObjectName(QStringLiteral("okButton"));
    ok->setDefault(true);
    QObject::connect(ok, &QPushButton::clicked, dialog, [dialog] { dialog->accept(); });
    cancel = new CImageButton(QStringLiteral("Cancel"), dialog);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    cancel->setAutoDefault(false);
    QObject::connect(cancel, &QPushButton::clicked, dialog, [dialog] { dialog->reject(); });

    auto* row = new QHBoxLayout;
    row->addStretch(1);
    row->addWidget(ok);
    row->addWidget(cancel);
    return row;
}

void AddTabStepKeys(QDialog* dialog, const std::function<void(int step)>& step) {
    for (const auto& [keys, by] : {std::pair{QKeySequence(Qt::CTRL | Qt::Key_Tab), 1},
                                   {QKeySequence(Qt::CTRL | Qt::Key_PageDown), 1},
                                   {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab), -1},
                                   {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab), -1},
                                   {QKeySequence(Qt::CTRL | Qt::Key_PageUp), -1}})
        QObject::connect(new QShortcut(keys, dialog), &QShortcut::activated, dialog,
                         [step, by = by] { step(by); });
}
