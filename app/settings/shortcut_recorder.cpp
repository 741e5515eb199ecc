#include "app/settings/shortcut_recorder.h"

#include "app/services/preferences.h"
#include "app/settings/recorded_key.h"
#include "app/ui/fonts.h"
#include "app/ui/shapes.h"
#include "app/ui/theme.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QPainter>
#include <QPointer>

#include <cmath>

namespace kavelo {

void RecorderTurns::begin(ShortcutRecorder& recorder)
{
    if (current_ && current_ != &recorder)
        current_->stop();
    current_ = &recorder;
}

void RecorderTurns::end(ShortcutRecorder& recorder)
{
    if (current_ == &recorder)
        current_ = nullptr;
}

namespace {

QFont capsuleFont()
{
    // The rounded system face has no counterpart among the installed fonts.
    return Fonts::system(ShortcutRecorder::fontSize, Fonts::Weight::medium);
}

QFont hintFont()
{
    return Fonts::system(ShortcutRecorder::hintSize);
}

QSize ceiled(double w, double h)
{
    return QSize(int(std::ceil(w)), int(std::ceil(h)));
}

} // namespace

ShortcutRecorder::ShortcutRecorder(Binding<Shortcut> shortcut, Preferences& preferences, const Keyboard& keyboard,
                                   bool startsListening, RecorderTurns* turns, QWidget* parent)
    : QAbstractButton(parent),
      shortcut_(std::move(shortcut)),
      preferences_(preferences),
      keyboard_(keyboard),
      turns_(turns),
      startsListening_(startsListening)
{
    setAttribute(Qt::WA_TranslucentBackground);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setCursor(Qt::ArrowCursor);
    sync();
    connect(this, &QAbstractButton::clicked, this, [this] {
        if (recording_)
            stop();
        else
            start();
    });
}

ShortcutRecorder::~ShortcutRecorder()
{
    // Its owner may be half gone already: no binding is read on the way out.
    if (recording_)
        release();
}

QString ShortcutRecorder::label() const
{
    return recording_ ? listeningText() : QString::fromStdString(shortcut_.get().label());
}

void ShortcutRecorder::start()
{
    if (recording_)
        return;
    if (turns_)
        turns_->begin(*this);
    recording_ = true;
    rejected_ = false;
    preferences_.setIsRecording(true);
    if (preferences_.onKeysChange)
        preferences_.onKeysChange();
    qApp->installEventFilter(this);
    monitoring_ = true;
    // An active grab outranks every passive one, the window manager's too.
    // Where it fails, what reaches the window is still recorded.
    grabKeyboard();
    sync();
}

void ShortcutRecorder::stop()
{
    if (!recording_)
        return;
    release();
    sync();
}

void ShortcutRecorder::release()
{
    recording_ = false;
    preferences_.setIsRecording(false);
    if (preferences_.onKeysChange)
        preferences_.onKeysChange();
    if (monitoring_) {
        qApp->removeEventFilter(this);
        monitoring_ = false;
    }
    releaseKeyboard();
    if (turns_)
        turns_->end(*this);
}

void ShortcutRecorder::refresh()
{
    sync();
    update();
}

void ShortcutRecorder::sync()
{
    setText(label());
    setAccessibleDescription(rejected_ ? hintText() : QString());
    updateGeometry();
    update();
}

void ShortcutRecorder::keyPressed(const QKeyEvent& event)
{
    // Holding a modifier first is not an attempt yet.
    if (RecordedKey::isModifierKey(event.key()))
        return;
    const std::optional<int> code = RecordedKey::keyCode(event, keyboard_);
    if (code == escapeKeyCode) {
        stop();
        return;
    }
    if (code) {
        const Shortcut candidate{*code, RecordedKey::modifiers(event.modifiers())};
        if (candidate.isUsable()) {
            const QPointer<ShortcutRecorder> alive(this);
            shortcut_.set(candidate);
            // Whoever took the write may have let this recorder go.
            if (alive)
                stop();
            return;
        }
    }
    rejected_ = true;
    sync();
}

bool ShortcutRecorder::eventFilter(QObject* watched, QEvent* event)
{
    if (!monitoring_)
        return QAbstractButton::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::ShortcutOverride:
        // Accepted and kept: no window shortcut fires for the key.
        event->accept();
        return true;
    case QEvent::KeyPress:
        event->accept();
        keyPressed(static_cast<const QKeyEvent&>(*event));
        return true;
    default:
        return false;
    }
}

bool ShortcutRecorder::event(QEvent* event)
{
    // No window out of the user's sight holds the keyboard.
    if (event->type() == QEvent::WindowDeactivate)
        stop();
    return QAbstractButton::event(event);
}

void ShortcutRecorder::showEvent(QShowEvent* event)
{
    QAbstractButton::showEvent(event);
    if (startsListening_) {
        // Once: shown again later, it is one of the existing recorders.
        startsListening_ = false;
        start();
    }
}

void ShortcutRecorder::hideEvent(QHideEvent* event)
{
    stop();
    QAbstractButton::hideEvent(event);
}

QSize ShortcutRecorder::capsuleSize() const
{
    const QFontMetricsF metrics(capsuleFont());
    const QSize size = ceiled(metrics.horizontalAdvance(label()) + 2 * horizontalPadding,
                              metrics.height() + 2 * verticalPadding);
    return QSize(std::max(size.width(), minimumWidth), size.height());
}

QSize ShortcutRecorder::hintExtent() const
{
    const QFontMetricsF metrics(hintFont());
    return ceiled(metrics.horizontalAdvance(hintText()), metrics.height());
}

QSize ShortcutRecorder::sizeHint() const
{
    const QSize capsule = capsuleSize();
    if (!rejected_)
        return capsule;
    const QSize hint = hintExtent();
    return QSize(std::max(capsule.width(), hint.width()), capsule.height() + spacing + hint.height());
}

QRect ShortcutRecorder::capsuleRect() const
{
    const QSize capsule = capsuleSize();
    return QRect(QPoint(width() - capsule.width(), 0), capsule);
}

QRect ShortcutRecorder::hintRect() const
{
    if (!rejected_)
        return {};
    const QSize hint = hintExtent();
    return QRect(QPoint(width() - hint.width(), capsuleSize().height() + spacing), hint);
}

bool ShortcutRecorder::hitButton(const QPoint& pos) const
{
    return capsuleRect().contains(pos);
}

void ShortcutRecorder::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF capsule(capsuleRect());
    painter.setPen(Qt::NoPen);
    painter.setBrush(recording_ ? Theme::lit() : Theme::withOpacity(Theme::primary(), idleOpacity));
    painter.drawPath(Shapes::continuousRoundedRect(capsule, cornerRadius));
    painter.setFont(capsuleFont());
    painter.setPen(recording_ ? QColor(Qt::black) : Theme::primary());
    painter.drawText(capsule, Qt::AlignCenter, label());

    if (rejected_) {
        painter.setFont(hintFont());
        painter.setPen(Theme::secondary());
        painter.drawText(QRectF(hintRect()), Qt::AlignRight | Qt::AlignVCenter, hintText());
    }
}

} // namespace kavelo
