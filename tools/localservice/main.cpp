#include "localservice.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>

// tavrel-localservice: runs the stand-in of the service's API on 127.0.0.1 until it is stopped,
// so that the client can log in and receive orders without the real service.
int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tavrel-localservice"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Local stand-in of the Tavrel service's HTTP API."));
    parser.addHelpOption();
    const QCommandLineOption portOption(QStringLiteral("port"), QStringLiteral("Port on 127.0.0.1 (default 8765)."),
                                        QStringLiteral("port"), QString::number(LocalService::defaultPort));
    const QCommandLineOption ordersOption(QStringLiteral("orders"), QStringLiteral("Number of orders (default 200)."),
                                          QStringLiteral("N"), QStringLiteral("200"));
    const QCommandLineOption seedOption(QStringLiteral("seed"),
                                        QStringLiteral("Seed of the generated data (default 1)."), QStringLiteral("S"),
                                        QStringLiteral("1"));
    const QCommandLineOption userOption(QStringLiteral("user"),
                                        QStringLiteral("A subscriber LOGIN:PASSWORD (default demo:demo); repeatable."),
                                        QStringLiteral("LOGIN:PASSWORD"));
    parser.addOptions({portOption, ordersOption, seedOption, userOption});
    parser.process(app);

    QTextStream err(stderr);
    bool portOk = false;
    const uint port = parser.value(portOption).toUInt(&portOk);
    bool ordersOk = false;
    const int orders = parser.value(ordersOption).toInt(&ordersOk);
    bool seedOk = false;
    const uint seed = parser.value(seedOption).toUInt(&seedOk);
    if (!portOk || port > 65535 || !ordersOk || orders < 0 || !seedOk) {
        err << "tavrel-localservice: --port, --orders and --seed take non-negative numbers\n";
        return 2;
    }

    LocalService service;
    service.generate(orders, seed);
    if (parser.isSet(userOption))
        service.clearUsers();
    for (const QString &user : parser.values(userOption)) {
        const int colon = user.indexOf(QLatin1Char(':'));
        if (colon <= 0) {
            err << "tavrel-localservice: --user takes LOGIN:PASSWORD\n";
            return 2;
        }
        service.addUser(user.left(colon), user.mid(colon + 1));
    }
    if (!service.start(quint16(port))) {
        err << "tavrel-localservice: cannot listen on 127.0.0.1:" << port << "\n";
        return 1;
    }
    QTextStream(stdout) << "tavrel-localservice listening on " << service.url() << " with " << orders << " orders\n"
                        << Qt::flush;
    return app.exec();
}
