#include "record/description.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QObject>

#include <cstring>

#include "link/transactions.h"
#include "params/parameter_table.h"
#include "record/frame_csv.h"
#include "record/windows1252.h"
#include "runtime/one_step_file.h"
#include "shell/globals.h"
#include "units/mm_scale.h"

namespace record {

namespace {

QString fromSensorText(const std::string &bytes) {
    return QString::fromStdString(utf8FromWindows1252(bytes));
}

QJsonValue timeValue(const std::optional<std::chrono::system_clock::time_point> &when) {
    if (!when)
        return QJsonValue::Null;
    return QString::fromStdString(isoLocalTimeWithOffset(*when));
}

} // namespace

Description describeSensor(const QString &program, const QString &port) {
    Description d;
    d.program = program;
    d.port = port;
    d.firmware.assign(szVersion, strnlen(szVersion, sizeof szVersion));
    d.ccdType = ccdtype;
    d.ccdPixels = ccdmaxpixel;
    d.ccdResolution = ccdresolution;
    for (int i = 0; i < PNUM; ++i)
        d.parameters[static_cast<std::size_t>(i)] = *parameterTable[i].var;
    d.start = std::chrono::system_clock::now();
    return d;
}

QByteArray descriptionJson(const Description &d) {
    QJsonObject parameters;
    for (int i = 0; i < PNUM; ++i)
        parameters.insert(QLatin1String(parameterTable[i].name),
                          d.parameters[static_cast<std::size_t>(i)]);
    const std::optional<double> mm = units::mmPerPixel(d.ccdType, d.ccdResolution);
    const QJsonObject ccd{
        {QStringLiteral("description"),
         fromSensorText(CCDDescription(d.ccdType, d.ccdResolution)).trimmed()},
        {QStringLiteral("type"), d.ccdType},
        {QStringLiteral("pixels"), d.ccdPixels},
        {QStringLiteral("resolution"), d.ccdResolution},
        {QStringLiteral("mmPerPixel"), mm ? QJsonValue(*mm) : QJsonValue(QJsonValue::Null)}};
    const QJsonObject root{
        {QStringLiteral("program"), d.program},
        {QStringLiteral("version"), QStringLiteral(VEXA_VERSION)},
        {QStringLiteral("port"), d.port},
        {QStringLiteral("firmware"), fromSensorText(d.firmware)},
        {QStringLiteral("ccd"), ccd},
        {QStringLiteral("parameters"), parameters},
        {QStringLiteral("start"), timeValue(d.start)},
        {QStringLiteral("end"), timeValue(d.end)},
        {QStringLiteral("frames"), d.end ? QJsonValue(d.frames) : QJsonValue(QJsonValue::Null)}};
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

bool writeDescription(const QString &framesPath, const Description &description, QString *problem) {
    const QString path =
        QFile::decodeName(descriptionPathFor(QFile::encodeName(framesPath).toStdString()).c_str());
    QString reason;
    if (rt::writeInOneStep(path, descriptionJson(description), &reason))
        return true;
    *problem = QObject::tr("cannot write %1: %2").arg(path, reason);
    return false;
}

} // namespace record
