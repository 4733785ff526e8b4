#include "app/WindowWatch.h"

#include <QAbstractNativeEventFilter>
#include <QApplication>
#include <QDialog>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <cstdint>

namespace {
// The two X11 event layouts read here, as the protocol defines them.
constexpr uint8_t kDestroyNotify = 17;
struct XcbGenericEvent {
    uint8_t responseType;
};
struct XcbDestroyNotifyEvent {
    uint8_t responseType;
    uint8_t pad0;
    uint16_t sequence;
    uint32_t event;
    uint32_t window;
};

class DestroyWatch final : public QAbstractNativeEventFilter {
public:
    DestroyWatch(QWidget* window, std::function<void()> onDestroyed)
        : m_window(window), m_onDestroyed(std::move(onDestroyed)) {}
    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
        if (type != "xcb_generic_event_t" || !m_window || !m_onDestroyed) {
            return false;
        }
        const auto* event = static_cast<const XcbGenericEvent*>(message);
        if ((event->responseType & 0x7F) != kDestroyNotify) {
            return false;
        }
        const auto* destroyed = static_cast<const XcbDestroyNotifyEvent*>(message);
        if (destroyed->window == static_cast<uint32_t>(m_window->internalWinId())) {
            auto call = std::move(m_onDestroyed);
            m_onDestroyed = nullptr;
            call();
        }
        return false;
    }

private:
    QPointer<QWidget> m_window;
    std::function<void()> m_onDestroyed;
};
// Every dialog but the one given: destroyed from outside, it is cancelled.
class DialogDestroyWatch final : public QAbstractNativeEventFilter {
public:
    explicit DialogDestroyWatch(QWidget* except) : m_except(except) {}
    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
        if (type != "xcb_generic_event_t") {
            return false;
        }
        const auto* event = static_cast<const XcbGenericEvent*>(message);
        if ((event->responseType & 0x7F) != kDestroyNotify) {
            return false;
        }
        const uint32_t window = static_cast<const XcbDestroyNotifyEvent*>(message)->window;
        for (QWidget* top : QApplication::topLevelWidgets()) {
            auto* dialog = qobject_cast<QDialog*>(top);
            if (dialog == nullptr || dialog == m_except ||
                !dialog->testAttribute(Qt::WA_WState_Created) ||
                static_cast<uint32_t>(dialog->internalWinId()) != window) {
                continue;
            }
            // Outside the display server's event: the dialog's own loop ends as on Cancel.
            QPointer<QDialog> gone(dialog);
            QTimer::singleShot(0, [gone] {
                if (gone) {
                    gone->reject();
                }
            });
        }
        return false;
    }

private:
    QPointer<QWidget> m_except;
};
}  // namespace

void WatchDialogsDestroyed(QWidget* except) {
    auto* watch = new DialogDestroyWatch(except);
    QCoreApplication::instance()->installNativeEventFilter(watch);
    QObject::connect(QCoreApplication::instance(), &QObject::destroyed, [watch] { delete watch; });
}

void WatchWindowDestroyed(QWidget* window, std::function<void()> onDestroyed) {
    auto* watch = new DestroyWatch(window, std::move(onDestroyed));
    QCoreApplication::instance()->installNativeEventFilter(watch);
    QObject::connect(window, &QObject::destroyed, [watch] {
        if (QCoreApplication::instance() != nullptr) {
            QCoreApplication::instance()->removeNativeEventFilter(watch);
        }
        delete watch;
    });
}
