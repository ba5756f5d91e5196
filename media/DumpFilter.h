#pragma once

#include "media/Filter.h"

namespace media {

// Writes the bytes it receives into a file as they come. Input pin "Input".
class DumpFilter : public Filter {
public:
    DumpFilter();

    bool takesFileName() const override { return true; }
    HRESULT setFileName(const QString& path) override;
    QString fileName() const override { return m_fileName; }

private:
    QString m_fileName;
};

} // namespace media
