#pragma once

#include "media/Filter.h"

namespace media {

// Reads a file and offers its bytes on the output pin "Output".
class FileSource : public Filter {
public:
    explicit FileSource(const QString& path);
    QString fileName() const override { return m_fileName; }

private:
    QString m_fileName;
};

} // namespace media
