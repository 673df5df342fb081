// Writing the JUnit XML report.
#include "cli/junit_report.h"

#include "serial/failure.h"

#include <QXmlStreamWriter>

namespace tqm::cli {

JunitReport::JunitReport(const QString &fileName)
    : file_(fileName) {
    if (!file_.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw Failure(
            QStringLiteral("cannot write the report %1: %2").arg(fileName, file_.errorString()));
}

void JunitReport::write(const QList<Suite> &suites) {
    QXmlStreamWriter xml(&file_);
    xml.setAutoFormatting(true);
    xml.writeStartDocument();
    xml.writeStartElement(QStringLiteral("testsuites"));
    for (const Suite &suite : suites) {
        int failures = 0, errors = 0, skipped = 0;
        double total = 0;
        for (const Outcome &o : suite.outcomes) {
            failures += o.result == Outcome::Failed;
            errors += o.result == Outcome::Error;
            skipped += o.result == Outcome::Skipped;
            total += o.seconds;
        }
        xml.writeStartElement(QStringLiteral("testsuite"));
        xml.writeAttribute(QStringLiteral("name"), suite.name);
        xml.writeAttribute(QStringLiteral("tests"), QString::number(suite.outcomes.size()));
        xml.writeAttribute(QStringLiteral("failures"), QString::number(failures));
        xml.writeAttribute(QStringLiteral("errors"), QString::number(errors));
        xml.writeAttribute(QStringLiteral("skipped"), QString::number(skipped));
        xml.writeAttribute(QStringLiteral("time"), QString::number(total, 'f', 3));
        for (qsizetype i = 0; i < suite.outcomes.size(); ++i) {
            const Outcome &o = suite.outcomes[i];
            xml.writeStartElement(QStringLiteral("testcase"));
            xml.writeAttribute(QStringLiteral("classname"), suite.name);
            xml.writeAttribute(QStringLiteral("name"),
                               QStringLiteral("%1 - %2").arg(i + 1).arg(o.description));
            xml.writeAttribute(QStringLiteral("time"), QString::number(o.seconds, 'f', 3));
            if (o.result == Outcome::Failed || o.result == Outcome::Error) {
                xml.writeStartElement(o.result == Outcome::Failed ? QStringLiteral("failure")
                                                                  : QStringLiteral("error"));
                xml.writeAttribute(QStringLiteral("message"), o.message);
                xml.writeEndElement();
            } else if (o.result == Outcome::Skipped) {
                xml.writeEmptyElement(QStringLiteral("skipped"));
            }
            xml.writeEndElement();
        }
        xml.writeEndElement();
    }
    xml.writeEndElement();
    xml.writeEndDocument();
    if (xml.hasError() || !file_.flush())
        throw Failure(QStringLiteral("cannot write the report %1: %2")
                          .arg(file_.fileName(), file_.errorString()));
}

} // namespace tqm::cli
