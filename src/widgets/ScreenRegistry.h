// The screens the main window's commands open. Each source folder registers the screens it
// has built (registerXxxScreens in its Screens.cpp); a command without a registered screen
// stays disabled. Each screen exists at most once: opening it again brings it forward.
#pragma once

#include "Commands.h"

#include <QHash>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <functional>

class ScreenRegistry
{
public:
    using Factory = std::function<QWidget*(QWidget* parent)>;

    static ScreenRegistry& instance();

    // modal: the screen blocks the rest of the application while it is open.
    void add(const QString& command, Factory factory, bool modal = true);
    // The screen is modal when modalWhen() says so at the moment it is created.
    void addModalWhen(const QString& command, Factory factory, std::function<bool()> modalWhen);
    bool has(const QString& command) const { return entries_.contains(command); }

    // Shows the command's screen, creating it when none is open; returns it (nullptr when
    // the command has no screen). Screens free themselves when closed.
    QWidget* open(const QString& command, QWidget* parent);
    // The open screen of the command, if any.
    QWidget* existing(const QString& command) const;

private:
    struct Entry
    {
        Factory factory;
        std::function<bool()> modalWhen;
        QPointer<QWidget> screen;
    };
    QHash<QString, Entry> entries_;
};

// Registration functions, one per folder (each in that folder's Screens.cpp).
void registerAppScreens();
void registerCirculationScreens();
void registerCatalogueScreens();
void registerReaderScreens();
void registerDictionaryScreens();
void registerStatisticsScreens();
void registerMaintenanceScreens();
