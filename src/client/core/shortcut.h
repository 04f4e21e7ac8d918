#pragma once

// The desktop shortcut to the program and the version record that offers it once per
// program version.

#include <QString>

class QWidget;

namespace vantrell::client {

class DesktopShortcut
{
public:
    // Desktop folder + "/Vantrell.lnk" on Windows, "/Vantrell.desktop" elsewhere.
    static QString path();
    static bool exists();
    // Points at the running executable; failures are not reported.
    static bool create();
    static void setDesktopForTesting(const QString &dir); // empty restores the real desktop
};

// Stores the program version in the user-data file when it differs from the stored one
// and, when no shortcut exists, asks whether to create one.
void recordVersionAndOfferShortcut(QWidget *parent, const QString &caption);

} // namespace vantrell::client
