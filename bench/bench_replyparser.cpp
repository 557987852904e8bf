// Parses a page reply of 1,000 orders into its result map and compares the time with a bare
// QDomDocument parse of the same bytes. The last line printed is the ratio of the fastest rounds
// (target: <= 1.5).

#include "benchsupport.h"
#include "constants.h"
#include "networkreplyparser.h"
#include "networkrequestcontext.h"

#include <QCoreApplication>
#include <QDomDocument>
#include <QElapsedTimer>
#include <QXmlStreamWriter>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

const int ORDER_COUNT = 1000;
const int ROUNDS = 31;

QByteArray pageReply()
{
    QByteArray body;
    QXmlStreamWriter writer(&body);
    writer.writeStartDocument();
    writer.writeStartElement(QStringLiteral("Response"));
    writer.writeStartElement(QStringLiteral("Orders"));
    writer.writeTextElement(QStringLiteral("Count"), QString::number(ORDER_COUNT * 3));
    for (int i = 0; i < ORDER_COUNT; ++i) {
        writer.writeStartElement(QStringLiteral("Order"));
        writer.writeTextElement(QStringLiteral("ID"), QString::number(100000 + i));
        writer.writeTextElement(QStringLiteral("Name"),
                                QStringLiteral("Поставка медицинского оборудования для нужд больницы № %1").arg(i));
        writer.writeTextElement(QStringLiteral("OpeningTime"), QStringLiteral("21.05.2014 10:30:00"));
        writer.writeTextElement(QStringLiteral("ClosingTime"), QStringLiteral("28.05.2014 18:00:00"));
        writer.writeTextElement(QStringLiteral("ChangeDate"), QStringLiteral("20.05.2014 09:15:00"));
        writer.writeTextElement(QStringLiteral("Branch"), QStringLiteral("Медицина и фармацевтика"));
        writer.writeTextElement(QStringLiteral("Region"), QStringLiteral("Москва"));
        writer.writeTextElement(QStringLiteral("PlacementMethod"),
                                QStringLiteral("Открытый аукцион в электронной форме"));
        writer.writeTextElement(QStringLiteral("Amount"), QString::number(1500 + i * 7.5, 'f', i % 2));
        writer.writeTextElement(QStringLiteral("CurrencyName"), QStringLiteral("руб."));
        writer.writeTextElement(QStringLiteral("FullAccess"), QStringLiteral("true"));
        writer.writeTextElement(QStringLiteral("Url"), QStringLiteral("http://127.0.0.1:8765/order/%1").arg(i));
        writer.writeEndElement();
    }
    writer.writeEndElement();
    writer.writeEndElement();
    writer.writeEndDocument();
    return body;
}

double fastest(const std::vector<double> &values)
{
    return *std::min_element(values.begin(), values.end());
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    const QByteArray body = pageReply();
    std::vector<double> bare;
    std::vector<double> parsed;
    int orders = 0;
    QElapsedTimer timer;
    for (int round = 0; round < ROUNDS; ++round) {
        // Both sides pay for building and freeing a document; the result map outlives the timing,
        // as it does for the receiver of a reply.
        timer.start();
        {
            QDomDocument document;
            document.setContent(body);
        }
        bare.push_back(timer.nsecsElapsed() / 1e6);
        {
            NetworkRequestContext context;
            context.kind = NetworkRequestKind::NewOrdersPage;
            context.result.insert(KEY_BYTE_ARRAY, body);
            timer.start();
            NetworkReplyParser::parse(&context);
            parsed.push_back(timer.nsecsElapsed() / 1e6);
            orders = context.result.value(KEY_ORDERS).toList().size();
        }
    }
    if (orders != ORDER_COUNT) {
        std::printf("parsed %d orders instead of %d\n", orders, ORDER_COUNT);
        return 1;
    }
    std::printf("reply of %d orders, %d bytes, %d rounds (median / fastest)\n", ORDER_COUNT, int(body.size()), ROUNDS);
    std::printf("bare QDomDocument parse: %.2f / %.2f ms\n", bench::median(bare), fastest(bare));
    std::printf("parse into result map:   %.2f / %.2f ms\n", bench::median(parsed), fastest(parsed));
    std::printf("ratio of medians %.3f\n", bench::median(parsed) / bench::median(bare));
    // The fastest rounds are the least disturbed by other work on the machine.
    std::printf("ratio %.3f\n", fastest(parsed) / fastest(bare));
    return 0;
}
