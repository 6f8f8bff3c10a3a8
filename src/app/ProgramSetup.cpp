#include "ProgramSetup.h"

#include "widgets/ScreenRegistry.h"

#include <QApplication>
#include <QFont>
#include <QFontDatabase>
#include <QGuiApplication>

void ProgramSetup::loadChineseFont()
{
    const QString platform = QGuiApplication::platformName();
    if (platform != QLatin1String("offscreen") && platform != QLatin1String("minimal"))
        return;
    const int id = QFontDatabase::addApplicationFont(
        QStringLiteral("/usr/share/fonts/truetype/wqy/wqy-microhei.ttc"));
    const QStringList families = QFontDatabase::applicationFontFamilies(id);
    if (!families.isEmpty()) {
        QFont font(families.first());
        font.setPointSize(QApplication::font().pointSize());
        QApplication::setFont(font);
    }
}

void ProgramSetup::registerAllScreens()
{
    registerAppScreens();
    registerCirculationScreens();
    registerCatalogueScreens();
    registerReaderScreens();
    registerDictionaryScreens();
    registerStatisticsScreens();
    registerMaintenanceScreens();
}
