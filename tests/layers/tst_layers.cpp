#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QTest>

/// Includes run one way only, from the window down to the small routines:
/// main.cpp, app/, the subsystems, the object model (oracle/), the engine,
/// common/. A subsystem may use another one's header; nothing reaches upward.
class tst_Layers : public QObject
{
    Q_OBJECT

private slots:
    void includesRunDownward();
};

namespace {

// The layer of each folder under src/: a file may include from its own layer
// and the ones below it.
int layerOf(const QString &folder)
{
    static const QHash<QString, int> layers = {
        {"common", 0},  {"engine", 1}, {"oracle", 2}, {"settings", 3},    {"files", 3},
        {"convert", 3}, {"exec", 3},   {"about", 3},  {"connections", 3}, {"history", 3},
        {"journal", 3}, {"editor", 3}, {"export", 3}, {"app", 4},         {"main.cpp", 5},
    };
    return layers.value(folder, -1);
}

} // namespace

void tst_Layers::includesRunDownward()
{
    const QString source = QStringLiteral(KORVANE_SOURCE_DIR "/src/");
    const QRegularExpression include(QStringLiteral(R"(^\s*#\s*include\s+"([^"]+)\")"),
                                     QRegularExpression::MultilineOption);
    QStringList wrong;
    int files = 0;
    QDirIterator it(source, {"*.h", "*.cpp"}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString relative = path.mid(source.size());
        const QString folder = relative.section('/', 0, 0);
        QFile file(path);
        QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(path));
        ++files;
        const int from = layerOf(folder);
        if (from < 0) {
            wrong << relative + ": the folder has no place in the order of layers";
            continue;
        }
        const QString text = QString::fromUtf8(file.readAll());
        for (auto match = include.globalMatch(text); match.hasNext();) {
            const QString target = match.next().captured(1);
            if (!target.contains('/'))
                continue; // generated headers of the build (version.h)
            const int to = layerOf(target.section('/', 0, 0));
            if (to < 0 || to > from)
                wrong << relative + " includes " + target;
        }
    }
    QVERIFY2(files > 50, "the sources were not found");
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join('\n')));
}

QTEST_GUILESS_MAIN(tst_Layers)
#include "tst_layers.moc"
