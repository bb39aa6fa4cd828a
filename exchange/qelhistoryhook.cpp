#include "exchange/qelhistoryhook.h"

QelHistoryHooks &qelHistoryHooks()
{
    static QelHistoryHooks hooks;
    return hooks;
}
