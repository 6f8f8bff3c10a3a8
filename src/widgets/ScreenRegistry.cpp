#include "ScreenRegistry.h"

ScreenRegistry& ScreenRegistry::instance()
{
    static ScreenRegistry registry;
    return registry;
}

void ScreenRegistry::add(const QString& command, Factory factory, bool modal)
{
    addModalWhen(command, std::move(factory), [modal] { return modal; });
}

void ScreenRegistry::addModalWhen(const QString& command, Factory factory,
                                  std::function<bool()> modalWhen)
{
    Entry& e = entries_[command];
    e.factory = std::move(factory);
    e.modalWhen = std::move(modalWhen);
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
        screen->setWindowModality(it->modalWhen() ? Qt::ApplicationModal : Qt::NonModal);
        it->screen = screen;
    }
    QWidget* screen = it->screen;
    screen->show();
    screen->raise();
    screen->activateWindow();
    return screen;
}
