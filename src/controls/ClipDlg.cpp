#include "controls/ClipDlg.h"
#include "controls/BlurMarkView.h"
#include "controls/StandardDialogs.h"

#include "base/Services.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QVBoxLayout>

#include <cmath>
#include <optional>

ClipDlg::ClipDlg(int beforeSeconds, int afterSeconds, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("clipDialog"));
    setWindowTitle(pmLoadString(QStringLiteral("IDS_CLIP_TITLE")));
    setAttribute(Qt::WA_DeleteOnClose);
    pmApplySkinPalette(this);
    auto* form = new QFormLayout;
    auto makeBox = [this](const char* name, int value) {
        auto* box = new QSpinBox(this);
        box->setObjectName(QLatin1String(name));
        box->setRange(0, kMaxSeconds);
        box->setValue(value);
        box->setSuffix(QStringLiteral(" s"));
        return box;
    };
    m_before = makeBox("clipBefore", beforeSeconds);
    m_after = makeBox("clipAfter", afterSeconds);
    form->addRow(pmLoadString(QStringLiteral("IDS_CLIP_BEFORE")), m_before);
    form->addRow(pmLoadString(QStringLiteral("IDS_CLIP_AFTER")), m_after);
    m_overlay = new QCheckBox(pmLoadString(QStringLiteral("IDS_CLIP_OVERLAY")), this);
    m_overlay->setObjectName(QStringLiteral("clipOverlay"));
    form->addRow(m_overlay);
    m_layout = new QComboBox(this);
    m_layout->setObjectName(QStringLiteral("clipLayout"));
    for (const char* word : {"separate", "side-by-side", "pip", "front", "rear"})
        m_layout->addItem(pmLoadString(QStringLiteral("IDS_CLIP_LAYOUT_") +
                                       QLatin1String(word).toString().toUpper().replace(QLatin1Char('-'),
                                                                                        QLatin1Char('_'))),
                          QLatin1String(word).toString());
    form->addRow(pmLoadString(QStringLiteral("IDS_CLIP_LAYOUT")), m_layout);
    m_corner = new QComboBox(this);
    m_corner->setObjectName(QStringLiteral("clipPipCorner"));
    for (int c = 0; c < 4; ++c)
        m_corner->addItem(pmLoadString(QStringLiteral("IDS_CLIP_CORNER_%1").arg(c)), c);
    form->addRow(pmLoadString(QStringLiteral("IDS_CLIP_CORNER")), m_corner);
    m_quality = new QSpinBox(this);
    m_quality->setObjectName(QStringLiteral("clipQuality"));
    m_quality->setRange(14, 35);
    m_quality->setValue(23);
    form->addRow(pmLoadString(QStringLiteral("IDS_CLIP_QUALITY")), m_quality);
    connect(m_layout, qOverload<int>(&QComboBox::currentIndexChanged), this, &ClipDlg::layoutChanged);
    layoutChanged();
    m_note = new QLabel(pmLoadString(QStringLiteral("IDS_CLIP_EMPTY")), this);
    m_note->setObjectName(QStringLiteral("clipEmptyNote"));
    m_note->setWordWrap(true);
    m_note->hide();

    // Marking: the picture, the moment, the areas.
    auto* blur = new QGroupBox(pmLoadString(QStringLiteral("IDS_CLIP_BLUR")), this);
    blur->setObjectName(QStringLiteral("clipBlur"));
    m_view = new BlurMarkView(blur);
    m_time = new QSlider(Qt::Horizontal, blur);
    m_time->setObjectName(QStringLiteral("clipBlurTime"));
    m_timeLabel = new QLabel(blur);
    m_timeLabel->setObjectName(QStringLiteral("clipBlurTimeLabel"));
    m_timeLabel->setMinimumWidth(m_timeLabel->fontMetrics().horizontalAdvance(QStringLiteral("+000.0 s")));
    m_list = new QListWidget(blur);
    m_list->setObjectName(QStringLiteral("clipBlurList"));
    m_list->setMaximumHeight(90);
    auto makeButton = [blur](const char* name, const char* text) {
        auto* b = new QPushButton(pmLoadString(QLatin1String(text)), blur);
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(false);
        return b;
    };
    m_newArea = makeButton("clipBlurNew", "IDS_CLIP_BLUR_NEW");
    m_hold = makeButton("clipBlurHold", "IDS_CLIP_BLUR_HOLD");
    m_remove = makeButton("clipBlurRemove", "IDS_CLIP_BLUR_REMOVE");
    auto* timeRow = new QHBoxLayout;
    timeRow->addWidget(m_time, 1);
    timeRow->addWidget(m_timeLabel);
    auto* buttonsColumn = new QVBoxLayout;
    for (QPushButton* b : {m_newArea, m_hold, m_remove})
        buttonsColumn->addWidget(b);
    buttonsColumn->addStretch(1);
    auto* listRow = new QHBoxLayout;
    listRow->addWidget(m_list, 1);
    listRow->addLayout(buttonsColumn);
    auto* blurLayout = new QVBoxLayout(blur);
    blurLayout->addWidget(m_view, 1);
    blurLayout->addLayout(timeRow);
    blurLayout->addLayout(listRow);
    m_shownBefore = beforeSeconds;
    lengthsChanged();
    m_time->setValue(beforeSeconds * 10); // the moment on screen
    connect(m_time, &QSlider::valueChanged, this, [this] {
        refreshAreas();
        requestFrame();
    });
    connect(m_view, &BlurMarkView::rectDrawn, this, &ClipDlg::rectDrawn);
    connect(m_newArea, &QPushButton::clicked, this, [this] {
        m_selected = -1;
        refreshAreas();
    });
    connect(m_hold, &QPushButton::clicked, this, &ClipDlg::holdStill);
    connect(m_remove, &QPushButton::clicked, this, [this] {
        if (m_selected < 0 || m_selected >= static_cast<int>(m_areas.size()))
            return;
        m_areas.erase(m_areas.begin() + m_selected);
        m_selected = -1;
        refreshAreas();
    });
    connect(m_list, &QListWidget::currentRowChanged, this, [this](int row) {
        if (m_refreshing)
            return;
        m_selected = row;
        refreshAreas();
    });
    m_rearMarked = layoutWord() == QLatin1String("rear");
    refreshAreas();
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* save =
        buttons->addButton(pmLoadString(QStringLiteral("IDS_OK")), QDialogButtonBox::AcceptRole);
    save->setObjectName(QStringLiteral("clipSave"));
    save->setDefault(true);
    QPushButton* cancel =
        buttons->addButton(pmLoadString(QStringLiteral("IDS_CANCEL")), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("clipCancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        // Nothing to cut: both lengths 0. The window stays, saying so.
        if (m_before->value() + m_after->value() <= 0) {
            showNote(pmLoadString(QStringLiteral("IDS_CLIP_EMPTY")));
            m_before->setFocus();
            m_before->selectAll();
            return;
        }
        if (!areasUsable())
            return;
        const int before = m_before->value(), after = m_after->value();
        const bool overlay = m_overlay->isChecked();
        accept();
        Q_EMIT chosen(before, after, overlay);
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    for (QSpinBox* box : {m_before, m_after}) {
        connect(box, qOverload<int>(&QSpinBox::valueChanged), m_note, &QWidget::hide);
        connect(box, qOverload<int>(&QSpinBox::valueChanged), this, &ClipDlg::lengthsChanged);
    }
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(blur, 1);
    layout->addWidget(m_note);
    layout->addWidget(buttons);
}

double ClipDlg::blurSeconds() const
{
    return m_time->value() / 10.0;
}

void ClipDlg::requestFrame()
{
    Q_EMIT frameWanted(blurSeconds() - m_before->value(), m_rearMarked);
}

void ClipDlg::showFrame(const QImage& frame, double secondsFromMoment, const QString& why)
{
    // A frame of a moment since left is not shown: the one asked for comes.
    if (std::abs(secondsFromMoment - (blurSeconds() - m_before->value())) > 0.001)
        return;
    if (!frame.isNull())
        m_pictureSize = frame.size();
    m_view->setFrame(frame, frame.isNull() ? pmLoadString(QStringLiteral("IDS_CLIP_BLUR_NO_PICTURE")).arg(why)
                                           : QString());
}

void ClipDlg::showNote(const QString& text)
{
    m_note->setText(text);
    m_note->show();
}

// The areas keep their moments when the window's start moves: their times
// count from the clip's start, so they move by as much.
void ClipDlg::lengthsChanged()
{
    const int before = m_before->value();
    const int shift = before - m_shownBefore;
    m_shownBefore = before;
    for (BlurArea& area : m_areas)
        for (BlurKey& key : area.keys)
            key.seconds += shift;
    const int at = m_time->value() + shift * 10;
    {
        const QSignalBlocker quiet(m_time);
        m_time->setRange(0, (before + m_after->value()) * 10);
        m_time->setValue(at);
    }
    refreshAreas();
    // A window that no longer reaches the moment shown shows its nearest.
    if (m_time->value() != at)
        requestFrame();
}

void ClipDlg::rectDrawn(const QRect& picture)
{
    const BlurRect rect{picture.x(), picture.y(), picture.width(), picture.height()};
    if (m_selected < 0 || m_selected >= static_cast<int>(m_areas.size())) {
        m_areas.emplace_back();
        m_selected = static_cast<int>(m_areas.size()) - 1;
    }
    pmSetBlurKey(m_areas[static_cast<std::size_t>(m_selected)], blurSeconds(), rect);
    m_note->hide();
    refreshAreas();
}

// The selected area stays where it is until the moment shown: its position
// there, or the nearest key's when the moment lies outside its range.
void ClipDlg::holdStill()
{
    if (m_selected < 0 || m_selected >= static_cast<int>(m_areas.size()))
        return;
    BlurArea& area = m_areas[static_cast<std::size_t>(m_selected)];
    if (area.keys.empty())
        return;
    const double t = blurSeconds();
    std::optional<BlurRect> rect = pmBlurRectAt(area, t);
    if (!rect)
        rect = t < area.keys.front().seconds ? area.keys.front().rect : area.keys.back().rect;
    pmSetBlurKey(area, t, *rect);
    refreshAreas();
}

void ClipDlg::refreshAreas()
{
    m_timeLabel->setText(QString::asprintf("%+.1f s", blurSeconds() - m_before->value()));
    const double t = blurSeconds();
    QVector<QRect> rects;
    int selected = -1;
    for (std::size_t i = 0; i < m_areas.size(); ++i) {
        const BlurArea& area = m_areas[i];
        // An area of one position is shown at any moment: it waits for its second.
        std::optional<BlurRect> r =
            area.keys.size() == 1 ? std::optional<BlurRect>(area.keys.front().rect) : pmBlurRectAt(area, t);
        if (!r)
            continue;
        if (static_cast<int>(i) == m_selected)
            selected = rects.size();
        rects.push_back(QRect(r->x, r->y, r->w, r->h));
    }
    m_view->setRects(rects, selected);
    m_refreshing = true;
    m_list->clear();
    for (std::size_t i = 0; i < m_areas.size(); ++i) {
        QString text =
            QStringLiteral("%1: %2").arg(i + 1).arg(QString::fromStdString(pmBlurAreaText(m_areas[i])));
        if (m_areas[i].keys.size() < 2)
            text += QStringLiteral(" (") + pmLoadString(QStringLiteral("IDS_CLIP_BLUR_ONE_POSITION")) +
                    QLatin1Char(')');
        m_list->addItem(text);
    }
    m_list->setCurrentRow(m_selected);
    m_refreshing = false;
    m_hold->setEnabled(m_selected >= 0);
    m_remove->setEnabled(m_selected >= 0);
}

// Areas the clip cannot take keep the window open, saying why.
bool ClipDlg::areasUsable()
{
    if (m_areas.empty())
        return true;
    if (layoutWord() == QLatin1String("separate")) {
        showNote(pmLoadString(QStringLiteral("IDS_CLIP_BLUR_SEPARATE")));
        return false;
    }
    const double length = m_before->value() + m_after->value();
    for (std::size_t i = 0; i < m_areas.size(); ++i) {
        if (m_areas[i].keys.size() < 2) {
            showNote(pmLoadString(QStringLiteral("IDS_CLIP_BLUR_ONE_KEY")).arg(i + 1));
            return false;
        }
        // Without a frame yet the picture's size is not known: the clip clamps to it.
        BlurArea area = m_areas[i];
        const std::string why =
            pmFitBlurArea(area, m_pictureSize.isValid() ? m_pictureSize.width() : 1 << 20,
                          m_pictureSize.isValid() ? m_pictureSize.height() : 1 << 20, length);
        if (!why.empty()) {
            showNote(pmLoadString(QStringLiteral("IDS_CLIP_BLUR_REFUSED"))
                         .arg(i + 1)
                         .arg(QString::fromStdString(why)));
            return false;
        }
    }
    return true;
}

void ClipDlg::setChoices(const QString& layout, int corner, int quality)
{
    const int at = m_layout->findData(layout);
    m_layout->setCurrentIndex(at >= 0 ? at : 0);
    const int c = m_corner->findData(corner);
    m_corner->setCurrentIndex(c >= 0 ? c : 3);
    m_quality->setValue(quality);
    layoutChanged();
}

QString ClipDlg::layoutWord() const
{
    return m_layout->currentData().toString();
}

int ClipDlg::corner() const
{
    return m_corner->currentData().toInt();
}

void ClipDlg::layoutChanged()
{
    const QString word = layoutWord();
    const bool separate = word == QLatin1String("separate");
    m_corner->setEnabled(word == QLatin1String("pip"));
    m_quality->setEnabled(!separate);
    // The areas are marked on the main camera's picture; drawn on the other
    // camera's, they would hide the wrong things.
    const bool rear = word == QLatin1String("rear");
    if (m_view && rear != m_rearMarked) {
        m_rearMarked = rear;
        if (!m_areas.empty()) {
            m_areas.clear();
            m_selected = -1;
            refreshAreas();
            showNote(pmLoadString(QStringLiteral("IDS_CLIP_BLUR_CAMERA")));
        }
        m_pictureSize = QSize();
        m_view->setFrame({});
        requestFrame();
    }
}
