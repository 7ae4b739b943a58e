// quarn-render: runs pages in a browser for Quarn's engine, one at a time, over its
// standard input and output (engine/render_protocol.h).

#include <signal.h>
#include <unistd.h>

#include <QApplication>

#include "render/render_service.h"

int main(int argc, char* argv[]) {
    // The protocol owns the real standard output; anything a library prints goes to
    // standard error instead of into the middle of an answer.
    const int answers = dup(STDOUT_FILENO);
    dup2(STDERR_FILENO, STDOUT_FILENO);
    signal(SIGPIPE, SIG_IGN);

    if (geteuid() == 0 && !qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // No screen is ever seen; an offscreen view that counted as hidden would have its
    // timers and animation frames slowed. Flags the user set come first and are kept.
    QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    flags += " --disable-gpu --disable-renderer-backgrounding"
             " --disable-background-timer-throttling --disable-backgrounding-occluded-windows";
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags.trimmed());
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("quarn-render"));

    CRenderService service(answers);
    service.Start();
    return app.exec();
}
