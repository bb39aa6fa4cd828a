#pragma once

// Function libraries: the names a template calls as Name(a, b, c), answered by code.
//
//   class TfrQelFunctionLibrary : public TfrFunctionLibrary {
//   public:
//       TfrQelFunctionLibrary() {
//           List << "Voto" << "GetNote";                       // function numbers 0, 1
//           AddFunctionDesc("Voto", "Tavrin", "Voto(<Sess.>, ...)/Ritorna il voto ...");
//       }
//       void DoFunction(int FNo, const QString &p1, const QString &p2, const QString &p3,
//                       QVariant &val) override {
//           const qint64 session = frToInteger(frParser.Calc(p1));   // the argument's value
//           ...
//       }
//   };
//   frRegisterFunctionLibrary<TfrQelFunctionLibrary>();    // once per class; again is ignored
//   frUnRegisterFunctionLibrary<TfrQelFunctionLibrary>();
//
// DoFunction receives the function's position in List and the argument texts exactly as the
// template writes them (blanks around them left out; missing ones empty); val starts null
// and is the call's value. Names are looked up across the registered libraries without
// regard to case, in registration order. The registry owns one object per class from its
// registration to its unregistration. List and the descriptions are filled in the
// constructor. One thread: the report is prepared on the user-interface thread.

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <memory>
#include <typeindex>

struct TfrFunctionDesc
{
    QString Name;
    QString Category;
    QString Description; // syntax, "/", help text
};

class TfrFunctionLibrary
{
public:
    TfrFunctionLibrary() = default;
    virtual ~TfrFunctionLibrary() = default;
    TfrFunctionLibrary(const TfrFunctionLibrary &) = delete;
    TfrFunctionLibrary &operator=(const TfrFunctionLibrary &) = delete;

    QStringList List;

    virtual void DoFunction(int FNo, const QString &p1, const QString &p2, const QString &p3,
                            QVariant &val) = 0;

    const QList<TfrFunctionDesc> &FunctionDescs() const { return m_descs; }

protected:
    void AddFunctionDesc(const QString &name, const QString &category, const QString &description);

private:
    QList<TfrFunctionDesc> m_descs;
};

namespace frdetail {
void registerLibrary(std::type_index type,
                     const std::function<std::unique_ptr<TfrFunctionLibrary>()> &make);
void unregisterLibrary(std::type_index type);
} // namespace frdetail

template <class T> void frRegisterFunctionLibrary()
{
    frdetail::registerLibrary(typeid(T), [] { return std::make_unique<T>(); });
}

template <class T> void frUnRegisterFunctionLibrary()
{
    frdetail::unregisterLibrary(typeid(T));
}

// The registered libraries in registration order.
QList<TfrFunctionLibrary *> frFunctionLibraries();
// Every description of the registered libraries, in registration order: the help list.
QList<TfrFunctionDesc> frFunctionDescs();
// The library that answers a name and the name's number in it; false when none does.
bool frFindFunction(const QString &name, TfrFunctionLibrary **library, int *number);
