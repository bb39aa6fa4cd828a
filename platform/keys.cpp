#include "platform/keys.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSet>
#include <QShortcut>
#include <QStackedWidget>
#include <QTabBar>
#include <QTextDocument>
#include <QToolButton>

#include <algorithm>
#include <functional>
#include <map>

namespace {

// The hint an action had before its key was added to it.
const char kHint[] = "vxHint";

QString hintOf(QObject *object, const QString &current)
{
    const QVariant kept = object->property(kHint);
    if (kept.isValid())
        return kept.toString();
    object->setProperty(kHint, current);
    return current;
}

// Whether a key that the widget claims in the context reaches it with the keyboard on focus
// (none: nowhere) in its shown, active window: Qt's own rule, inner windows included.
bool reaches(Qt::ShortcutContext context, const QWidget *w, const QWidget *focus)
{
    if (!w->isVisible() || !w->isEnabled())
        return false;
    switch (context) {
    case Qt::ApplicationShortcut:
        return true;
    case Qt::WidgetShortcut:
        return w == focus;
    case Qt::WidgetWithChildrenShortcut: {
        const QWidget *at = focus;
        while (at && at != w &&
               (at->windowType() == Qt::Widget || at->windowType() == Qt::Popup ||
                at->windowType() == Qt::SubWindow))
            at = at->parentWidget();
        return at && at == w;
    }
    case Qt::WindowShortcut:
        break;
    }
    // A window's key from inside an inner window holds only while the keyboard is in it.
    const QWidget *inner = w;
    while (inner && inner->windowType() != Qt::SubWindow && !inner->isWindow())
        inner = inner->parentWidget();
    if (inner && inner->windowType() == Qt::SubWindow)
        return focus && (focus == inner || inner->isAncestorOf(focus));
    return true;
}

bool reaches(const QAction *action, const QWidget *focus, int depth = 0)
{
    if (depth > 8 || !action->isEnabled() || !action->isVisible())
        return false;
    for (QObject *o : action->associatedObjects()) {
        // A menu's command holds where the menu's own entry does.
        if (auto *menu = qobject_cast<QMenu *>(o)) {
            if (reaches(menu->menuAction(), focus, depth + 1))
                return true;
        } else if (auto *w = qobject_cast<QWidget *>(o)) {
            if (reaches(action->shortcutContext(), w, focus))
                return true;
        }
    }
    return false;
}

QString plain(QString text)
{
    return text.remove(QLatin1Char('&'));
}

QString nameOf(const QObject *o, const QString &text)
{
    return o->objectName().isEmpty() ? plain(text) : o->objectName();
}

// One claim of keys: who claims them and whether it reaches them with the keyboard on focus.
struct Claim
{
    QString name;
    QList<QKeySequence> keys;
    std::function<bool(const QWidget *focus)> reaches;
};

// Each text of the widget that carries a mnemonic or may be given one, with whether it is
// offered now (a tab, a menu: shown and enabled; none: always).
void eachMnemonicText(const QWidget *w,
                      const std::function<void(const QString &, std::function<bool()>)> &take)
{
    if (auto *label = qobject_cast<const QLabel *>(w)) {
        if (label->buddy())
            take(label->text(), {});
    } else if (auto *button = qobject_cast<const QAbstractButton *>(w)) {
        take(button->text(), {});
    } else if (auto *box = qobject_cast<const QGroupBox *>(w)) {
        take(box->title(), {});
    } else if (auto *tabs = qobject_cast<const QTabBar *>(w)) {
        for (int i = 0; i < tabs->count(); ++i)
            take(tabs->tabText(i),
                 [tabs, i] { return tabs->isTabEnabled(i) && tabs->isTabVisible(i); });
    } else if (auto *bar = qobject_cast<const QMenuBar *>(w)) {
        for (QAction *a : bar->actions())
            take(a->text(), [a] { return a->isEnabled() && a->isVisible(); });
    }
}

QList<Claim> claimsIn(QWidget *window)
{
    QList<Claim> claims;
    QList<QWidget *> widgets = window->findChildren<QWidget *>();
    widgets.prepend(window);
    QSet<QAction *> actions;
    for (QWidget *w : widgets) {
        for (QAction *a : w->actions())
            actions.insert(a);
        eachMnemonicText(w, [&claims, w](const QString &text, const std::function<bool()> &shown) {
            const QKeySequence key = QKeySequence::mnemonic(text);
            if (!key.isEmpty())
                claims.append({QStringLiteral("%1 (%2)").arg(text, w->objectName()),
                               {key},
                               [w, shown](const QWidget *focus) {
                                   return (!shown || shown()) &&
                                          reaches(Qt::WindowShortcut, w, focus);
                               }});
        });
    }
    for (QAction *a : std::as_const(actions)) {
        if (!a->shortcuts().isEmpty())
            claims.append({nameOf(a, a->text()), a->shortcuts(),
                           [a](const QWidget *focus) { return reaches(a, focus); }});
    }
    for (QShortcut *s : window->findChildren<QShortcut *>()) {
        if (!s->keys().isEmpty())
            claims.append({nameOf(s, QString()), s->keys(), [s](const QWidget *focus) {
                               const auto *w = qobject_cast<const QWidget *>(s->parent());
                               return s->isEnabled() && w && reaches(s->context(), w, focus);
                           }});
    }
    return claims;
}

} // namespace

void VxSetShortcut(QWidget *scope, QAction *action, const QKeySequence &key)
{
    VxSetShortcuts(scope, action, {key});
}

void VxSetShortcuts(QWidget *scope, QAction *action, const QList<QKeySequence> &keys,
                    Qt::ShortcutContext context)
{
    const QString hint = hintOf(action, action->toolTip());
    action->setShortcuts(keys);
    action->setShortcutContext(context);
    if (!scope->actions().contains(action))
        scope->addAction(action);
    action->setToolTip(
        QStringLiteral("%1 (%2)").arg(hint, keys.value(0).toString(QKeySequence::NativeText)));
}

QAction *VxSetButtonShortcut(QWidget *scope, QAbstractButton *button, const QString &hint,
                             const QList<QKeySequence> &keys)
{
    auto *action = new QAction(scope);
    action->setToolTip(hint);
    VxSetShortcuts(scope, action, keys);
    button->setToolTip(action->toolTip());
    QObject::connect(action, &QAction::triggered, button, &QAbstractButton::click);
    return action;
}

void VxSetSelectionShortcuts(QWidget *scope, QAction *all, QAction *none, QAction *invert)
{
    VxSetShortcut(scope, all, QKeySequence(Qt::CTRL | Qt::Key_A));
    VxSetShortcut(scope, none, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_A));
    VxSetShortcut(scope, invert, QKeySequence(Qt::CTRL | Qt::Key_I));
}

void VxShowMenuShortcuts(QToolButton *button)
{
    const QString hint =
        hintOf(button, button->toolTip().isEmpty() ? button->text() : button->toolTip());
    QStringList keys;
    if (QMenu *menu = button->menu()) {
        for (QAction *action : menu->actions()) {
            if (!action->shortcut().isEmpty())
                keys << QStringLiteral("%1 %2").arg(
                    action->text(), action->shortcut().toString(QKeySequence::NativeText));
        }
    }
    button->setToolTip(keys.isEmpty()
                           ? hint
                           : QStringLiteral("%1 (%2)").arg(hint, keys.join(QStringLiteral(", "))));
}

void VxGiveMnemonics(QWidget *window)
{
    QList<QWidget *> widgets = window->findChildren<QWidget *>();
    // The letters of an inner window or of a panel of the main window meet the main window's
    // menus.
    if (!window->isWindow())
        for (QMenuBar *bar : window->window()->findChildren<QMenuBar *>(Qt::FindDirectChildrenOnly))
            widgets.append(bar);
    // Two letters meet only where both are shown at once: not on two pages of one set of tabs
    // (or of a wizard), whose fields each have the whole alphabet.
    const auto pages = [](const QWidget *w) {
        QList<const QWidget *> path;
        for (; w && w->parentWidget(); w = w->parentWidget())
            if (qobject_cast<const QStackedWidget *>(w->parentWidget()))
                path.prepend(w);
        return path;
    };
    const auto meet = [](const QList<const QWidget *> &a, const QList<const QWidget *> &b) {
        const qsizetype n = std::min(a.size(), b.size());
        return std::equal(a.begin(), a.begin() + n, b.begin());
    };
    // A letter read as Qt and the clash check read it ("&&" is a drawn "&").
    QList<std::pair<QList<const QWidget *>, QKeySequence>> taken;
    for (const QWidget *w : std::as_const(widgets))
        eachMnemonicText(w, [&](const QString &text, const std::function<bool()> &) {
            if (const QKeySequence letter = QKeySequence::mnemonic(text); !letter.isEmpty())
                taken.append({pages(w), letter});
        });
    // A letter is never one a command's key already takes (Alt+PgDown is no letter's, Alt+S
    // is): in the window, and for an inner window in the main window around it.
    QSet<QKeySequence> keys;
    QList<QAction *> actions = window->window()->findChildren<QAction *>();
    QList<QWidget *> holders = window->window()->findChildren<QWidget *>();
    holders << window->window();
    for (const QWidget *w : std::as_const(holders))
        actions << w->actions();
    for (const QAction *a : std::as_const(actions))
        for (const QKeySequence &key : a->shortcuts())
            keys.insert(key);
    for (const QShortcut *s : window->window()->findChildren<QShortcut *>())
        for (const QKeySequence &key : s->keys())
            keys.insert(key);
    const auto textOf = [](const QWidget *w) {
        auto *label = qobject_cast<const QLabel *>(w);
        return label ? label->text() : static_cast<const QAbstractButton *>(w)->text();
    };
    // What asks for a letter, in the window's order.
    QList<QWidget *> open;
    for (QWidget *w : std::as_const(widgets)) {
        auto *label = qobject_cast<QLabel *>(w);
        if (!(label && label->buddy()) &&
            !(qobject_cast<QCheckBox *>(w) || qobject_cast<QRadioButton *>(w) ||
              qobject_cast<QPushButton *>(w)))
            continue;
        const QString text = textOf(w);
        if (!text.trimmed().isEmpty() && !text.contains(QLatin1Char('&')) &&
            !(label && Qt::mightBeRichText(text)))
            open << w;
    }
    // The places of a text that may take its letter, a word's initial first, then any letter.
    const auto free = [&](const QWidget *w) {
        const QString text = textOf(w);
        const QList<const QWidget *> here = pages(w);
        QSet<QKeySequence> near = keys;
        for (const auto &[there, letter] : std::as_const(taken))
            if (meet(here, there))
                near.insert(letter);
        QList<qsizetype> places;
        QSet<QKeySequence> letters;
        for (int pass = 0; pass < 2; ++pass)
            for (qsizetype i = 0; i < text.size(); ++i) {
                const bool initial = i == 0 || !text.at(i - 1).isLetterOrNumber();
                const QKeySequence letter = QKeySequence::mnemonic(QLatin1Char('&') + text.at(i));
                if (text.at(i).isLetter() && (pass == 1) != initial && !near.contains(letter) &&
                    !letters.contains(letter)) {
                    places << i;
                    letters.insert(letter);
                }
            }
        return places;
    };
    // The text with the fewest letters left chooses first: two "Cambia" and an "Applica" among
    // many fields still each find one.
    while (!open.isEmpty()) {
        qsizetype chosen = 0;
        QList<qsizetype> places = free(open.first());
        for (qsizetype n = 1; n < open.size() && !places.isEmpty(); ++n) {
            const QList<qsizetype> other = free(open.at(n));
            if (other.size() < places.size()) {
                chosen = n;
                places = other;
            }
        }
        QWidget *w = open.takeAt(chosen);
        if (places.isEmpty())
            continue;
        const QString marked = textOf(w).insert(places.first(), QLatin1Char('&'));
        taken.append({pages(w), QKeySequence::mnemonic(marked)});
        if (auto *label = qobject_cast<QLabel *>(w))
            label->setText(marked);
        else
            static_cast<QAbstractButton *>(w)->setText(marked);
    }
}

void VxGiveMnemonicsWhileFocused(QWidget *panel)
{
    static const char kLettered[] = "vxLettered";
    static const char kPlainText[] = "vxPlainText";
    QObject::connect(qApp, &QApplication::focusChanged, panel, [panel](QWidget *, QWidget *now) {
        const bool inside = now && (now == panel || panel->isAncestorOf(now));
        if (inside == panel->property(kLettered).toBool())
            return;
        panel->setProperty(kLettered, inside);
        const QList<QAbstractButton *> buttons = panel->findChildren<QAbstractButton *>();
        if (inside) {
            for (QAbstractButton *b : buttons)
                b->setProperty(kPlainText, b->text());
            VxGiveMnemonics(panel);
        } else {
            for (QAbstractButton *b : buttons)
                if (const QVariant plain = b->property(kPlainText); plain.isValid())
                    b->setText(plain.toString());
        }
    });
}

QStringList VxKeyClashes(QWidget *window)
{
    const QList<Claim> claims = claimsIn(window);
    QList<const QWidget *> places{nullptr};
    for (QWidget *w : window->findChildren<QWidget *>()) {
        if (w->focusPolicy() != Qt::NoFocus && !w->focusProxy() && w->isVisible() && w->isEnabled())
            places.append(w);
    }
    QStringList clashes;
    QSet<QString> told;
    for (const QWidget *focus : places) {
        std::map<QString, QList<const Claim *>> byKey;
        for (const Claim &c : claims) {
            if (!c.reaches(focus))
                continue;
            for (const QKeySequence &key : c.keys)
                byKey[key.toString(QKeySequence::PortableText)].append(&c);
        }
        for (const auto &[key, owners] : byKey) {
            if (owners.size() < 2)
                continue;
            QStringList names;
            for (const Claim *c : owners)
                names << c->name;
            names.sort();
            const QString clash = key + QStringLiteral(": ") + names.join(QStringLiteral(", "));
            if (told.contains(clash))
                continue;
            told.insert(clash);
            clashes << QStringLiteral("%1 (keyboard in %2)")
                           .arg(clash, !focus ? QStringLiteral("none")
                                       : focus->objectName().isEmpty()
                                           ? QString::fromLatin1(focus->metaObject()->className())
                                           : focus->objectName());
        }
    }
    return clashes;
}
