#include "app/settings/warning_label.h"

#include "app/settings/settings_style.h"
#include "app/ui/fonts.h"
#include "app/ui/symbols.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>

namespace kavelo {

WarningLabel::WarningLabel(const QString& text, QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_TranslucentBackground);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(spacing);
    auto* symbol = new QLabel(this);
    symbol->setPixmap(
        QPixmap::fromImage(Symbols::image("exclamationmark.triangle.fill", fontSize, SettingsStyle::orange(),
                                          qApp->devicePixelRatio())));
    symbol->setAttribute(Qt::WA_TranslucentBackground);
    row->addWidget(symbol, 0, Qt::AlignTop);
    text_ = SettingsStyle::wrappingLabel(text, Fonts::system(fontSize), SettingsStyle::orange(), this);
    row->addWidget(text_, 1, Qt::AlignVCenter);
}

QString WarningLabel::text() const
{
    return text_->text();
}

void WarningLabel::setText(const QString& text)
{
    text_->setText(text);
}

} // namespace kavelo
