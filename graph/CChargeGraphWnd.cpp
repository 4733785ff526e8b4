// The Charge Graph window: the plot beside the list of past charges, its status line, the
// picture saved, its place on the screen kept, and its keys.

#include "graph/CChargeGraphWnd.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "controls/Accessibility.h"
#include "platform/Profile.h"
#include "platform/WriteFailure.h"

CChargeGraphWnd::CChargeGraphWnd(const ChargeRecorder& recorder, const QString& logFolder,
                                 QWidget* parent, QString historyPath)
    : QWidget(parent, Qt::Window),
      m_recorder(recorder),
      m_strLogFolder(logFolder),
      m_strHistoryPath(std::move(historyPath)) {
    setWindowTitle("Charge Graph");
    AnnounceAsWindow(this);
    setAccessibleName("Charge Graph");
    setAttribute(Qt::WA_DeleteOnClose, false);
    m_view = new ChargeGraphView(recorder, this);
    auto* side = new QWidget(this);
    auto* sideLayout = new QVBoxLayout(side);
    sideLayout->setContentsMargins(4, 4, 4, 4);
    auto* heading = new QLabel("Past charges (tick up to eight):", side);
    m_logs = new QTreeWidget(side);
    m_logs->setHeaderHidden(true);
    // Entries keep their whole text (the list scrolls sideways) rather than lose their end to an
    // ellipsis.
    m_logs->setTextElideMode(Qt::ElideNone);
    m_logs->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    m_logs->header()->setStretchLastSection(false);
    m_logs->setAccessibleName("Past charges");
    heading->setBuddy(m_logs);
    m_status = new QLabel(side);
    m_status->setWordWrap(true);
    auto* help = new QLabel(
        "Wheel: zoom time; Ctrl+wheel: zoom volts. Drag: pan. Shift+drag or right drag: zoom a "
        "box. Click, or A and B: place cursor; Shift+arrows move it. Double click or Home: whole "
        "charge.",
        side);
    help->setWordWrap(true);
    help->setForegroundRole(QPalette::PlaceholderText);
    auto* refresh = new QPushButton("&Refresh", side);
    auto* save = new QPushButton("&Save Picture...", side);
    sideLayout->addWidget(heading);
    sideLayout->addWidget(m_logs, 1);
    sideLayout->addWidget(m_status);
    sideLayout->addWidget(help);
    sideLayout->addWidget(refresh);
    sideLayout->addWidget(save);
    auto* splitter = new QSplitter(this);
    splitter->addWidget(m_view);
    splitter->addWidget(side);
    splitter->handle(1)->setAccessibleName("Divider between the graph and the past charges");
    splitter->setStretchFactor(0, 1);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(splitter);
    resize(900, 480);
    connect(m_logs, &QTreeWidget::itemChanged, this, &CChargeGraphWnd::OnLogTicked);
    connect(refresh, &QPushButton::clicked, this, &CChargeGraphWnd::RefreshLogs);
    connect(save, &QPushButton::clicked, this, &CChargeGraphWnd::SavePicture);
    // The curve grows each second; a look twice a second redraws only when it changed.
    auto* tick = new QTimer(this);
    connect(tick, &QTimer::timeout, this, &CChargeGraphWnd::Refresh);
    tick->start(500);
    RefreshLogs();
    m_view->setFocus();
}

CChargeGraphWnd::~CChargeGraphWnd() = default;

QString CChargeGraphWnd::Status() const {
    return m_status->text();
}

void CChargeGraphWnd::Refresh() {
    if (m_recorder.Revision() != m_shownRevision) {
        m_shownRevision = m_recorder.Revision();
        m_view->Sync();
        // A charge that just ended may have left a new log to lay over the next one, and its
        // own log is not listed as a past charge.
        if ((m_bShownRunning && !m_recorder.Running()) || m_recorder.LogFile() != m_shownLogFile) {
            RefreshLogs();
        }
        m_bShownRunning = m_recorder.Running();
    }
}


void CChargeGraphWnd::SavePicture() {
    QString chosen;
    const QString path = WithChosenExtension(
        QFileDialog::getSaveFileName(this, "Save Picture",
                                     QDir::home().filePath(m_view->PictureName() + ".png"),
                                     "PNG picture (*.png);;SVG drawing (*.svg);;PDF page (*.pdf)",
                                     &chosen),
        chosen);
    if (path.isEmpty()) {
        return;
    }
    QString why;
    m_status->setText(m_view->SaveImage(path, &why)
                          ? QString("Saved \"%1\".").arg(path)
                          : QString("\"%1\" could not be written, because %2").arg(path, why));
}

void CChargeGraphWnd::SaveState(bool open) const {
    const QRect g = geometry();
    AppProfile().WriteProfileInt(kGraphSection, "Open", open ? 1 : 0);
    AppProfile().WriteProfileString(
        kGraphSection, "Geometry",
        QString("%1 %2 %3 %4").arg(g.x()).arg(g.y()).arg(g.width()).arg(g.height()));
}

void CChargeGraphWnd::RestoreGeometry() {
    const QStringList parts =
        AppProfile().GetProfileString(kGraphSection, "Geometry", "").split(' ', Qt::SkipEmptyParts);
    if (parts.size() != 4) {
        return;
    }
    int v[4];
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        v[i] = parts[i].toInt(&ok);
        if (!ok) {
            return;  // a hand-edited value that is no geometry: the default place
        }
    }
    if (v[2] < minimumSizeHint().width() || v[3] < 200 || v[2] > 10000 || v[3] > 10000) {
        return;
    }
    // Fitted onto the screen it was on (or the nearest): a place stored at another scale or on
    // a screen since removed must not leave the window partly out of reach.
    QRect g(v[0], v[1], v[2], v[3]);
    QScreen* screen = QGuiApplication::screenAt(g.center());
    if (screen == nullptr) {
        screen = QGuiApplication::primaryScreen();
    }
    if (screen != nullptr) {
        const QRect free = screen->availableGeometry();
        g.setSize(g.size().boundedTo(free.size()));
        g.moveLeft(std::clamp(g.left(), free.left(), free.right() + 1 - g.width()));
        g.moveTop(std::clamp(g.top(), free.top(), free.bottom() + 1 - g.height()));
    }
    setGeometry(g);
}

void CChargeGraphWnd::keyPressEvent(QKeyEvent* event) {
    // Closed from the keyboard as any window is (Ctrl+G, the main window's, closes it too).
    if (IsCloseWindowKey(event)) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void CChargeGraphWnd::showEvent(QShowEvent* event) {
    // Hidden, it looked at no charge: shown again, it starts from the newest.
    Refresh();
    QWidget::showEvent(event);
}

void CChargeGraphWnd::closeEvent(QCloseEvent* event) {
    // Closed by the user: not open next time.
    SaveState(false);
    QWidget::closeEvent(event);
}
