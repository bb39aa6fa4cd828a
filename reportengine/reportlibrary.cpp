#include "reportengine/reportlibrary.h"

#include <QHash>

#include <vector>

namespace {

struct Registered
{
    std::type_index type;
    std::unique_ptr<TfrFunctionLibrary> library;
};

struct Registry
{
    std::vector<Registered> libraries;
    // Upper-case name -> library and number; the first registered library keeps a name.
    QHash<QString, std::pair<TfrFunctionLibrary *, int>> names;

    void reindex()
    {
        names.clear();
        for (const Registered &r : libraries) {
            for (int i = 0; i < r.library->List.size(); ++i) {
                const QString key = r.library->List[i].toUpper();
                if (!names.contains(key))
                    names.insert(key, {r.library.get(), i});
            }
        }
    }
};

Registry &registry()
{
    static Registry r;
    return r;
}

} // namespace

void TfrFunctionLibrary::AddFunctionDesc(const QString &name, const QString &category,
                                         const QString &description)
{
    m_descs.append({name, category, description});
}

void frdetail::registerLibrary(std::type_index type,
                               const std::function<std::unique_ptr<TfrFunctionLibrary>()> &make)
{
    Registry &r = registry();
    for (const Registered &existing : r.libraries) {
        if (existing.type == type)
            return;
    }
    r.libraries.push_back({type, make()});
    r.reindex();
}

void frdetail::unregisterLibrary(std::type_index type)
{
    Registry &r = registry();
    for (auto it = r.libraries.begin(); it != r.libraries.end(); ++it) {
        if (it->type == type) {
            r.libraries.erase(it);
            r.reindex();
            return;
        }
    }
}

QList<TfrFunctionLibrary *> frFunctionLibraries()
{
    QList<TfrFunctionLibrary *> list;
    for (const Registered &r : registry().libraries)
        list << r.library.get();
    return list;
}

QList<TfrFunctionDesc> frFunctionDescs()
{
    QList<TfrFunctionDesc> descs;
    for (const Registered &r : registry().libraries)
        descs << r.library->FunctionDescs();
    return descs;
}

bool frFindFunction(const QString &name, TfrFunctionLibrary **library, int *number)
{
    const auto it = registry().names.constFind(name.toUpper());
    if (it == registry().names.constEnd())
        return false;
    *library = it->first;
    *number = it->second;
    return true;
}
