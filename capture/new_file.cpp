#include "capture/new_file.h"

namespace tavelin {

namespace {

// Names to try when files keep appearing under the chosen one.
constexpr int kNameAttempts = 100;

class FileStream final : public IStream {
public:
    explicit FileStream(HANDLE file) : m_file(file) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_ISequentialStream) &&
            !IsEqualIID(iid, IID_IStream)) {
            return E_NOINTERFACE;
        }
        *object = static_cast<IStream*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(::InterlockedIncrement(&m_references)); }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG left = ::InterlockedDecrement(&m_references);
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }

    HRESULT STDMETHODCALLTYPE Read(void* data, ULONG bytes, ULONG* read) override {
        DWORD done = 0;
        if (!::ReadFile(m_file, data, bytes, &done, nullptr)) return STG_E_READFAULT;
        if (read) *read = done;
        return done == bytes ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Write(const void* data, ULONG bytes, ULONG* written) override {
        if (written) *written = 0;
        if (!WriteAll(m_file, data, bytes)) return STG_E_MEDIUMFULL;
        if (written) *written = bytes;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* position) override {
        // STREAM_SEEK_SET, _CUR and _END are FILE_BEGIN, _CURRENT and _END.
        LARGE_INTEGER now{};
        if (!::SetFilePointerEx(m_file, move, &now, origin)) return STG_E_INVALIDFUNCTION;
        if (position) position->QuadPart = static_cast<ULONGLONG>(now.QuadPart);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER size) override {
        LARGE_INTEGER here{}, zero{}, end{};
        end.QuadPart = static_cast<LONGLONG>(size.QuadPart);
        const bool set = ::SetFilePointerEx(m_file, zero, &here, FILE_CURRENT) &&
                         ::SetFilePointerEx(m_file, end, nullptr, FILE_BEGIN) && ::SetEndOfFile(m_file) &&
                         ::SetFilePointerEx(m_file, here, nullptr, FILE_BEGIN);
        return set ? S_OK : STG_E_MEDIUMFULL;
    }
    HRESULT STDMETHODCALLTYPE Stat(STATSTG* stat, DWORD) override {
        if (!stat) return STG_E_INVALIDPOINTER;
        *stat = STATSTG{};
        stat->type = STGTY_STREAM;
        LARGE_INTEGER size{};
        if (!::GetFileSizeEx(m_file, &size)) return STG_E_ACCESSDENIED;
        stat->cbSize.QuadPart = static_cast<ULONGLONG>(size.QuadPart);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Commit(DWORD) override { return S_OK; }
    // What an encoder writing a file has no use for.
    HRESULT STDMETHODCALLTYPE CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Revert() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return STG_E_INVALIDFUNCTION; }
    HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return STG_E_INVALIDFUNCTION; }
    HRESULT STDMETHODCALLTYPE Clone(IStream** copy) override {
        if (copy) *copy = nullptr;
        return E_NOTIMPL;
    }

private:
    ~FileStream() = default;
    HANDLE m_file;
    LONG m_references = 1;
};

}  // namespace

IStream* NewFileStream(HANDLE file) { return new FileStream(file); }

void DiscardNewFile(unique_hfile& file, const wchar_t* path) {
    if (!file) {
        ::DeleteFileW(path);
        return;
    }
    FILE_DISPOSITION_INFO dispose{};
    dispose.DeleteFile = TRUE;
    ::SetFileInformationByHandle(file.get(), FileDispositionInfo, &dispose, sizeof(dispose));
    file.reset();
}

unique_hfile CreateNewFile(const wchar_t* path, DWORD access, const std::function<bool()>& nameTaken) {
    for (int attempt = 1;; ++attempt) {
        unique_hfile file(::CreateFileW(path, access, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file) return file;
        const DWORD error = ::GetLastError();
        const bool taken = error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
        if (!taken || attempt == kNameAttempts || !nameTaken || !nameTaken()) {
            ::SetLastError(taken ? ERROR_FILE_EXISTS : error);
            return file;
        }
    }
}

bool WriteAll(HANDLE file, const void* data, DWORD bytes) {
    DWORD written = 0;
    return ::WriteFile(file, data, bytes, &written, nullptr) && written == bytes;
}

}  // namespace tavelin
