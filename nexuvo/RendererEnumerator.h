#pragma once

#include <QList>
#include <QObject>

namespace nexuvo {

class VBCol;

// Walks a copy of a renderer list. The VBCol objects it hands out belong to it and live as long
// as it does, whatever happens to the list it was copied from.
class RendererEnumerator : public QObject {
    Q_OBJECT
public:
    explicit RendererEnumerator(const QList<VBCol*>& items, QObject* parent = nullptr);

    // The next item; nullptr at the end.
    Q_INVOKABLE QObject* Next();
    // Passes over count items; false when fewer were left.
    Q_INVOKABLE bool Skip(int count);
    Q_INVOKABLE void Reset();
    // A new enumerator at the same place, owned by the caller.
    Q_INVOKABLE QObject* Clone() const;

    int count() const { return static_cast<int>(m_items.size()); }

private:
    QList<VBCol*> m_items;
    int m_next = 0;
};

} // namespace nexuvo
