#pragma once

#include <QObject>

// Reached by tests only by name, through the meta-object system.
class Echo : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString prefix READ prefix WRITE setPrefix)

public:
    QString prefix() const { return prefix_; }
    void setPrefix(const QString& prefix) { prefix_ = prefix; }

    Q_INVOKABLE QString echo(const QString& text) const { return prefix_ + text; }
    Q_INVOKABLE int add(int a, int b) const { return a + b; }

private:
    QString prefix_;
};
