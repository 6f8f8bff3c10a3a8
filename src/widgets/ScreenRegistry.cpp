#include "ScreenRegistry.h"

ScreenRegistry& ScreenRegistry::instance()
{
    static ScreenRegistry registry;
    return registry;
}

void ScreenRegistry::add(const QString& command, Factory factory, bool modal)
{
    Entry& e = entries_[command];
    e.factory = std::move(factory);
    e.modal = modal;
}

QWidget* ScreenRegistry::existing(const QString& command) const
{
    const auto it = entries_.constFind(command);
    return it == entries_.constEnd() ? nullptr : it->screen.data();
}

QWidget* ScreenRegistry::open(const QString& command, QWidget* parent)
{
    const auto it = entries_.find(command);
    if (it == entries_.end())
        return nullptr;
    if (!it->screen) {
        QWidget* screen = it->factory(parent);
        if (!screen)
            return nullptr;
        screen->setAttribute(Qt::WA_DeleteOnClose);
        if (!screen->isWindow())
            screen->setWindowFlag(Qt::Window);
        screen->setWindowModality(it->modal ? Qt::ApplicationModal : Qt::NonModal);
        it->screen = screen;
    }
    QWidget* screen = it->screen;
    screen->show();
    screen->raise();
    screen->activateWindow();
    return screen;
}
