#include "nexuvo/RendererEnumerator.h"

#include "nexuvo/VBCol.h"

namespace nexuvo {

RendererEnumerator::RendererEnumerator(const QList<VBCol*>& items, QObject* parent)
    : QObject(parent) {
    for (const VBCol* item : items)
        m_items.append(item->copy(this));
}

QObject* RendererEnumerator::Next() {
    return m_next < count() ? m_items[m_next++] : nullptr;
}

bool RendererEnumerator::Skip(int count) {
    const int left = this->count() - m_next;
    m_next += std::min(std::max(count, 0), left);
    return count <= left;
}

void RendererEnumerator::Reset() {
    m_next = 0;
}

QObject* RendererEnumerator::Clone() const {
    auto* clone = new RendererEnumerator(m_items);
    clone->m_next = m_next;
    return clone;
}

} // namespace nexuvo
