#pragma once

#include "tests/support/testenv.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

// Expected documents are written out as JSON text in the tests or in tests/data.
inline QJsonObject jsonObject(const QByteArray& text)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(text, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        qFatal("bad expected JSON at %d: %s", int(error.offset), qPrintable(error.errorString()));
    return document.object();
}

inline QJsonObject jsonFile(const char* name)
{
    return jsonObject(testenv::readDataFile(name));
}

// Compares as parsed objects (member order is meaningless, array order is not) and shows
// both documents when they differ.
#define COMPARE_JSON(actual, expected)                                                             \
    do {                                                                                           \
        const QJsonObject actualObject_ = (actual);                                                \
        const QJsonObject expectedObject_ = (expected);                                            \
        if (actualObject_ != expectedObject_) {                                                    \
            qWarning().noquote()                                                                   \
                << "actual:\n"                                                                     \
                << QJsonDocument(actualObject_).toJson(QJsonDocument::Indented) << "expected:\n"   \
                << QJsonDocument(expectedObject_).toJson(QJsonDocument::Indented);                 \
            QFAIL("the documents differ");                                                         \
        }                                                                                          \
    } while (false)
