#pragma once

// The loaded windows of the program. A window registers itself when it is created and
// disappears from the registry when it is destroyed; "loaded" means registered.

#include <QPointer>
#include <QWidget>

namespace vantrell::client {

enum class WindowId
{
    Login,
    Main,
    UserMenu,
    PersonalCentre,
    Registration,
    ChangePassword,
    CooperationApplication,
    GoodsEditing,
    SupplierDropDown,
    GoodsAuthorisation,
    OrderPlacing,
    GoodsChoosing,
    OrderViewing,
    FreightSettings,
    FinanceReconciliation,
    StatementCreation,
    Count
};

class WindowRegistry
{
public:
    static void set(WindowId id, QWidget *window);
    static QWidget *get(WindowId id);
    static bool isLoaded(WindowId id) { return get(id) != nullptr; }
    template <class T> static T *as(WindowId id) { return qobject_cast<T *>(get(id)); }

    // Closes the window when loaded: it leaves the registry at once, is hidden (a modal
    // dialog leaves its exec loop) and deleted later. Its close event is not delivered.
    static void close(WindowId id);
};

} // namespace vantrell::client
