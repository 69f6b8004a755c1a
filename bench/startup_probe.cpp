// The program itself (CTrovik32App::run), timed from its exec to the first
// paint of the file list, for the startup_first_paint benchmark of
// browse_bench. The parent passes its clock reading just before the spawn in
// TROVIK_PROBE_T0_NS (CLOCK_MONOTONIC); the probe prints on stdout
//   phases QAPP FRAME_SHOWN FIRST_PAINT
// in ms since that moment, and ends at once after the paint.
//
//   startup_probe            the program, browsing its saved start folder
//   startup_probe bare N     a bare QApplication showing a plain QListWidget
//                            of N items: what any Qt program pays to start
#include <QApplication>
#include <QListWidget>
#include <QMainWindow>

#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "ui/app/CTrovik32App.h"
#include "ui/browse/panes.h"

namespace {

long long t0Ns = 0;
double qappMs = 0, shownMs = 0;
bool bare = false;

double sinceExec()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec * 1000000000LL + ts.tv_nsec - t0Ns) / 1e6;
}

// Watches every event: the first Show of a top-level window, then the first
// paint of the list with items in it. The paint is done here, inside the
// filter, so that the time taken after it includes the painting itself.
class Probe : public QObject {
public:
    bool eventFilter(QObject* o, QEvent* e) override
    {
        if (e->type() == QEvent::Show && shownMs == 0 && o->isWidgetType()
            && static_cast<QWidget*>(o)->isWindow())
            shownMs = sinceExec();
        if (e->type() != QEvent::Paint || !o->isWidgetType())
            return false;
        auto* w = static_cast<QWidget*>(o);
        if (!isTheList(w) && !(w->parentWidget() && isTheList(w->parentWidget())))
            return false;
        qApp->removeEventFilter(this);
        static_cast<QObject*>(w)->event(e);  // the widget paints now
        const double paintMs = sinceExec();
        std::printf("phases %.3f %.3f %.3f\n", qappMs, shownMs, paintMs);
        std::fflush(stdout);
        _exit(0);
    }

private:
    static bool isTheList(QWidget* w)
    {
        if (bare) {
            auto* l = qobject_cast<QListWidget*>(w);
            return l && l->count() > 0;
        }
        auto* l = qobject_cast<CListBox_File*>(w);
        return l && l->count() > 0;
    }
};

void installProbe()
{
    qappMs = sinceExec();
    qApp->installEventFilter(new Probe);
}
Q_COREAPP_STARTUP_FUNCTION(installProbe)

}  // namespace

int main(int argc, char** argv)
{
    const char* t0 = std::getenv("TROVIK_PROBE_T0_NS");
    if (t0 == nullptr) {
        std::fprintf(stderr, "startup_probe: run by browse_bench (TROVIK_PROBE_T0_NS is not set)\n");
        return 2;
    }
    t0Ns = std::atoll(t0);
    if (argc == 3 && std::strcmp(argv[1], "bare") == 0) {
        bare = true;
        QApplication app(argc, argv);
        QMainWindow window;
        auto* list = new QListWidget(&window);
        for (int i = 0, n = std::atoi(argv[2]); i < n; ++i)
            list->addItem(QStringLiteral("item %1.txt").arg(i));
        window.setCentralWidget(list);
        window.resize(1024, 768);
        window.show();
        return QApplication::exec();
    }
    return CTrovik32App::run(argc, argv);
}
