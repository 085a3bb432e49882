#pragma once
// A Qt Test main that can run a share of a test class's functions, so that a long class can be
// run as several ctest entries side by side. The tests mostly wait on time-outs of the line, so
// the default ctest run spends its time idle; more entries at once shorten it.
//
// TESSERA_TEST_SHARD=k/n (1 <= k <= n) runs the functions whose place in the class, counted
// from 0, leaves k-1 over when divided by n. Functions named on the command line win over the
// share, as does any argument the share cannot be read from. Without the variable the class
// runs whole, as with QTEST_MAIN.
#include <QCoreApplication>
#include <QMetaMethod>
#include <QStringList>
#include <QTest>
#include <optional>
#include <type_traits>

namespace test_shard {

struct Share {
    int index = 0;  // 0-based
    int count = 1;
};

// "k/n" with 1 <= k <= n; anything else means no share.
inline std::optional<Share> parseShare(const QString& text) {
    const QStringList parts = text.split('/');
    if (parts.size() != 2) return std::nullopt;
    bool kOk = false, nOk = false;
    const int k = parts[0].toInt(&kOk), n = parts[1].toInt(&nOk);
    if (!kOk || !nOk || n < 1 || k < 1 || k > n) return std::nullopt;
    return Share{k - 1, n};
}

// The test functions of a class in declaration order, as Qt Test picks them: private slots
// without arguments, neither the fixtures nor the data functions.
inline QStringList testFunctions(const QMetaObject& meta) {
    static const QStringList fixtures = {"initTestCase", "cleanupTestCase", "init", "cleanup"};
    QStringList names;
    for (int i = meta.methodOffset(); i < meta.methodCount(); ++i) {
        const QMetaMethod method = meta.method(i);
        if (method.methodType() != QMetaMethod::Slot || method.access() != QMetaMethod::Private ||
            method.parameterCount() != 0)
            continue;
        const QString name = QString::fromLatin1(method.name());
        if (fixtures.contains(name) || name.endsWith("_data")) continue;
        names << name;
    }
    return names;
}

inline QStringList shareOf(const QStringList& functions, Share share) {
    QStringList picked;
    for (int i = share.index; i < functions.size(); i += share.count) picked << functions[i];
    return picked;
}

// True when the command line already chooses what to run (a function name, or an option
// that lists rather than runs); only options that take no function names leave it free.
inline bool commandLineChooses(const QStringList& arguments) {
    static const QStringList optionsWithValue = {
        "-o",    "-maxwarnings", "-eventdelay", "-keydelay",     "-mousedelay",
        "-seed", "-iterations",  "-median",     "-minimumvalue", "-minimumtotal"};
    for (int i = 1; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        if (optionsWithValue.contains(a)) {
            ++i;
            continue;
        }
        if (!a.startsWith('-')) return true;
        if (a == "-functions" || a == "-datatags" || a == "-help" || a == "--help") return true;
    }
    return false;
}

// The arguments to run with; nothing when the share is empty (more entries than functions),
// which must fail rather than quietly run nothing or everything.
inline std::optional<QStringList> arguments(const QMetaObject& meta, const QStringList& given) {
    if (commandLineChooses(given)) return given;
    const auto share = parseShare(qEnvironmentVariable("TESSERA_TEST_SHARD"));
    if (!share) return given;
    const QStringList picked = shareOf(testFunctions(meta), *share);
    if (picked.isEmpty()) return std::nullopt;
    return given + picked;
}

// The body of main: App is QApplication for the window tests (the file includes it) or
// QCoreApplication, as QTEST_MAIN and QTEST_GUILESS_MAIN would make.
template <class App, class TestObject>
int runShare(int argc, char* argv[]) {
    App app(argc, argv);
    if constexpr (!std::is_same_v<App, QCoreApplication>) app.setAttribute(Qt::AA_Use96Dpi, true);
    TestObject test;
    const auto args = arguments(TestObject::staticMetaObject, QCoreApplication::arguments());
    if (!args) {
        qCritical("TESSERA_TEST_SHARD=%s picks no test function",
                  qPrintable(qEnvironmentVariable("TESSERA_TEST_SHARD")));
        return 2;
    }
    return QTest::qExec(&test, *args);
}

}  // namespace test_shard

#define TESSERA_SHARDED_TEST_MAIN(TestObject)                              \
    int main(int argc, char* argv[]) {                                     \
        QTEST_SET_MAIN_SOURCE_PATH                                         \
        return test_shard::runShare<QApplication, TestObject>(argc, argv); \
    }
#define TESSERA_SHARDED_GUILESS_TEST_MAIN(TestObject)                          \
    int main(int argc, char* argv[]) {                                         \
        QTEST_SET_MAIN_SOURCE_PATH                                             \
        return test_shard::runShare<QCoreApplication, TestObject>(argc, argv); \
    }
