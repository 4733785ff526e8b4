#include "TestSupport.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>
#include <QtTest/QTest>
#include <memory>

ProfileSandbox::ProfileSandbox() {
    auto profile = std::make_unique<Profile>(Path());
    profile->SetFailureReporter([this](const QString& message) { failures.push_back(message); });
    m_previous = SetAppProfile(std::move(profile));
}

ProfileSandbox::~ProfileSandbox() {
    SetAppProfile(std::move(m_previous));
}

void RecordingPort::Write(uint32_t port, uint8_t value) {
    accesses.push_back({'W', port, value});
    if (port == kDataPort) {
        data = value;
    }
}

uint8_t RecordingPort::Read(uint32_t port) {
    uint8_t value = 0;
    if (port == kStatusPort && nextStatus < statusQueue.size()) {
        value = statusQueue[nextStatus++];
    } else if (port == kDataPort) {
        value = data;
    }
    accesses.push_back({'R', port, value});
    return value;
}

void RecordingPort::QueueConversion(int count) {
    // Bits 4 to 15 of the read order carry the value, most significant first.
    for (int k = 1; k <= 16; ++k) {
        bool high = k >= 4 && k <= 15 && ((count >> (15 - k)) & 1);
        statusQueue.push_back(high ? 0x40 : 0x00);
    }
}

SimOptions SteppedSim(SimOptions options) {
    options.steppedTime = true;
    return options;
}

void WhenModalOpens(std::function<void(QWidget*)> action) {
    // The dialog to answer is the next one to open on top of whatever is open now.
    QPointer<QWidget> already = QApplication::activeModalWidget();
    auto* timer = new QTimer;
    timer->setInterval(0);
    auto started = std::make_shared<QElapsedTimer>();
    started->start();
    QObject::connect(timer, &QTimer::timeout, [timer, action, already, started] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal != nullptr && modal != already) {
            timer->stop();
            timer->deleteLater();
            action(modal);
        } else if (started->elapsed() > 10000) {
            timer->stop();
            timer->deleteLater();
            ADD_FAILURE() << "the expected dialog never opened";
        }
    });
    timer->start();
}

void ClickButtonWithText(QWidget* dialog, const QString& text) {
    for (QAbstractButton* button : dialog->findChildren<QAbstractButton*>()) {
        QString caption = button->text();
        caption.remove('&');
        if (caption == text) {
            QTest::mouseClick(button, Qt::LeftButton);
            return;
        }
    }
    ADD_FAILURE() << "no button " << text.toStdString() << " in the dialog";
}
