// D3DX meshes. Every mesh keeps its vertices, indices and attributes in host
// memory; a mesh made without the system-memory options also owns device
// buffers (default or managed pool) that are refreshed on unlock and drawn
// with DrawIndexedPrimitive. System-memory meshes draw from host memory.
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <map>
#include <new>
#include <vector>

#include "d3dx9mesh.h"
#include "platform/d3dx9/XFile.h"

namespace {

bool SameElement(const D3DVERTEXELEMENT9& a, const D3DVERTEXELEMENT9& b) {
    return a.Usage == b.Usage && a.UsageIndex == b.UsageIndex;
}

// Float elements convert by component count: missing components are 0.
int FloatComponents(BYTE type) {
    switch (type) {
        case D3DDECLTYPE_FLOAT1: return 1;
        case D3DDECLTYPE_FLOAT2: return 2;
        case D3DDECLTYPE_FLOAT3: return 3;
        case D3DDECLTYPE_FLOAT4: return 4;
        default: return 0;
    }
}

class Mesh final : public platform::ComObject<ID3DXMesh> {
public:
    Mesh(DWORD options, IDirect3DDevice9* device) : m_options(options), m_device(device) {
        if (m_device) m_device->AddRef();
    }

    // Sets the layout and sizes the buffers (zero-filled); then device
    // buffers are made when the options ask for them.
    HRESULT Init(const D3DVERTEXELEMENT9* declaration, DWORD numFaces, DWORD numVertices) {
        UINT n = D3DXGetDeclLength(declaration);
        if (n == 0 || n >= MAX_FVF_DECL_SIZE || numFaces == 0 || numVertices == 0) return D3DERR_INVALIDCALL;
        for (UINT i = 0; i < n; ++i)
            if (declaration[i].Stream != 0) return D3DERR_INVALIDCALL;
        m_decl.assign(declaration, declaration + n + 1);
        m_stride = D3DXGetDeclVertexSize(declaration, 0);
        if (m_stride == 0) return D3DERR_INVALIDCALL;
        if (numVertices > 0xFFFF && !(m_options & D3DXMESH_32BIT)) return D3DERR_INVALIDCALL;
        m_numFaces = numFaces;
        m_numVertices = numVertices;
        try {
            m_vertices.assign(size_t(m_stride) * numVertices, 0);
            m_indices.assign(size_t(numFaces) * 3 * IndexSize(), 0);
            m_attributes.assign(numFaces, 0);
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
        return CreateDeviceBuffers();
    }

    HRESULT DrawSubset(DWORD attribId) override {
        if (!m_device) return D3DERR_INVALIDCALL;
        // Each range is drawn as it is found: a mesh is drawn many times a frame,
        // and a list of its ranges would be built and freed every time.
        HRESULT hr = D3D_OK;
        bool bound = false;
        auto draw = [&](const D3DXATTRIBUTERANGE& r) {
            if (m_vb && m_ib) {
                if (!bound) {
                    bound = true;
                    hr = m_device->SetStreamSource(0, m_vb, 0, m_stride);
                    if (SUCCEEDED(hr)) hr = m_device->SetIndices(m_ib);
                    if (FAILED(hr)) return false;
                }
                hr = m_device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, r.VertexStart, r.VertexCount,
                                                    r.FaceStart * 3, r.FaceCount);
            } else {
                const D3DFORMAT format = (m_options & D3DXMESH_32BIT) ? D3DFMT_INDEX32 : D3DFMT_INDEX16;
                hr = m_device->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, r.VertexStart, r.VertexCount, r.FaceCount,
                                                      m_indices.data() + size_t(r.FaceStart) * 3 * IndexSize(),
                                                      format, m_vertices.data(), m_stride);
            }
            return SUCCEEDED(hr);
        };
        if (!m_attribTable.empty()) {
            for (const D3DXATTRIBUTERANGE& r : m_attribTable)
                if (r.AttribId == attribId && r.FaceCount && !draw(r)) break;
            return hr;
        }
        // No table yet: draw each run of faces with this attribute.
        for (DWORD f = 0; f < m_numFaces;) {
            if (m_attributes[f] != attribId) {
                ++f;
                continue;
            }
            DWORD start = f;
            while (f < m_numFaces && m_attributes[f] == attribId) ++f;
            const D3DXATTRIBUTERANGE r = {attribId, start, f - start, 0, m_numVertices};
            if (!draw(r)) break;
        }
        return hr;
    }

    DWORD GetNumFaces() override { return m_numFaces; }
    DWORD GetNumVertices() override { return m_numVertices; }
    DWORD GetFVF() override {
        DWORD fvf = 0;
        return SUCCEEDED(D3DXFVFFromDeclarator(m_decl.data(), &fvf)) ? fvf : 0;
    }
    HRESULT GetDeclaration(D3DVERTEXELEMENT9 declaration[MAX_FVF_DECL_SIZE]) override {
        if (!declaration) return D3DERR_INVALIDCALL;
        std::copy(m_decl.begin(), m_decl.end(), declaration);
        return D3D_OK;
    }
    DWORD GetNumBytesPerVertex() override { return m_stride; }
    DWORD GetOptions() override { return m_options; }
    HRESULT GetDevice(IDirect3DDevice9** device) override {
        if (!device) return D3DERR_INVALIDCALL;
        *device = m_device;
        if (m_device) m_device->AddRef();
        return D3D_OK;
    }

    HRESULT CloneMeshFVF(DWORD options, DWORD fvf, IDirect3DDevice9* device, ID3DXMesh** cloneMesh) override {
        D3DVERTEXELEMENT9 decl[MAX_FVF_DECL_SIZE];
        HRESULT hr = D3DXDeclaratorFromFVF(fvf, decl);
        if (FAILED(hr)) return hr;
        return CloneMesh(options, decl, device, cloneMesh);
    }

    HRESULT CloneMesh(DWORD options, const D3DVERTEXELEMENT9* declaration, IDirect3DDevice9* device,
                      ID3DXMesh** cloneMesh) override {
        if (!declaration || !cloneMesh) return D3DERR_INVALIDCALL;
        if (!device) device = m_device;
        // More vertices than 16-bit indices reach keep their 32-bit indices.
        if (m_numVertices > 0xFFFF) options |= D3DXMESH_32BIT;
        Mesh* clone = new (std::nothrow) Mesh(options, device);
        if (!clone) return E_OUTOFMEMORY;
        HRESULT hr = clone->Init(declaration, m_numFaces, m_numVertices);
        if (FAILED(hr)) {
            clone->Release();
            return hr;
        }
        // Each element of the new layout takes the same usage from this one;
        // what this layout lacks stays zero.
        for (const D3DVERTEXELEMENT9* dst = clone->m_decl.data(); dst->Stream != 0xFF; ++dst) {
            const D3DVERTEXELEMENT9* src = nullptr;
            for (const D3DVERTEXELEMENT9& e : m_decl)
                if (e.Stream != 0xFF && SameElement(e, *dst)) src = &e;
            if (!src) continue;
            int srcN = FloatComponents(src->Type), dstN = FloatComponents(dst->Type);
            for (DWORD v = 0; v < m_numVertices; ++v) {
                const BYTE* from = m_vertices.data() + size_t(v) * m_stride + src->Offset;
                BYTE* to = clone->m_vertices.data() + size_t(v) * clone->m_stride + dst->Offset;
                if (src->Type == dst->Type) {
                    memcpy(to, from, ElementSize(*dst));
                } else if (srcN && dstN) {
                    float f[4] = {0, 0, 0, 0};
                    memcpy(f, from, 4 * srcN);
                    memcpy(to, f, 4 * dstN);
                }
            }
        }
        // Indices, converted when the index size changes.
        for (size_t i = 0; i < size_t(m_numFaces) * 3; ++i) clone->SetIndex(i, GetIndex(i));
        clone->m_attributes = m_attributes;
        clone->m_attribTable = m_attribTable;
        hr = clone->Upload();
        if (FAILED(hr)) {
            clone->Release();
            return hr;
        }
        *cloneMesh = clone;
        return D3D_OK;
    }

    HRESULT LockVertexBuffer(DWORD, void** data) override {
        if (!data) return D3DERR_INVALIDCALL;
        *data = m_vertices.data();
        ++m_vbLocks;
        return D3D_OK;
    }
    HRESULT UnlockVertexBuffer() override {
        if (m_vbLocks == 0) return D3DERR_INVALIDCALL;
        --m_vbLocks;
        return UploadVertices();
    }
    HRESULT LockIndexBuffer(DWORD, void** data) override {
        if (!data) return D3DERR_INVALIDCALL;
        *data = m_indices.data();
        ++m_ibLocks;
        return D3D_OK;
    }
    HRESULT UnlockIndexBuffer() override {
        if (m_ibLocks == 0) return D3DERR_INVALIDCALL;
        --m_ibLocks;
        return UploadIndices();
    }
    HRESULT GetAttributeTable(D3DXATTRIBUTERANGE* attribTable, DWORD* attribTableSize) override {
        if (!attribTable && !attribTableSize) return D3DERR_INVALIDCALL;
        if (attribTableSize) *attribTableSize = static_cast<DWORD>(m_attribTable.size());
        if (attribTable) std::copy(m_attribTable.begin(), m_attribTable.end(), attribTable);
        return D3D_OK;
    }
    HRESULT LockAttributeBuffer(DWORD, DWORD** data) override {
        if (!data) return D3DERR_INVALIDCALL;
        *data = m_attributes.data();
        // Attributes may change: the table is rebuilt by the next attribute sort.
        m_attribTable.clear();
        return D3D_OK;
    }
    HRESULT UnlockAttributeBuffer() override { return D3D_OK; }

    HRESULT OptimizeInplace(DWORD flags, const DWORD* adjacencyIn, DWORD* adjacencyOut, DWORD* faceRemap,
                            ID3DXBuffer** vertexRemap) override {
        if (vertexRemap) *vertexRemap = nullptr;
        // Faces: a stable sort by attribute keeps the order within a subset.
        std::vector<DWORD> order(m_numFaces);
        for (DWORD f = 0; f < m_numFaces; ++f) order[f] = f;
        if (flags & (D3DXMESHOPT_ATTRSORT | D3DXMESHOPT_VERTEXCACHE | D3DXMESHOPT_STRIPREORDER))
            std::stable_sort(order.begin(), order.end(),
                             [&](DWORD a, DWORD b) { return m_attributes[a] < m_attributes[b]; });
        std::vector<DWORD> oldIndex(size_t(m_numFaces) * 3);
        std::vector<DWORD> oldAttr = m_attributes;
        for (size_t i = 0; i < oldIndex.size(); ++i) oldIndex[i] = GetIndex(i);
        std::vector<DWORD> newOfOldFace(m_numFaces);
        for (DWORD nf = 0; nf < m_numFaces; ++nf) {
            DWORD of = order[nf];
            newOfOldFace[of] = nf;
            m_attributes[nf] = oldAttr[of];
            for (int k = 0; k < 3; ++k) SetIndex(size_t(nf) * 3 + k, oldIndex[size_t(of) * 3 + k]);
        }
        // Vertices: with COMPACT, unused ones go and the rest keep their order.
        std::vector<DWORD> vertexOld;
        if ((flags & D3DXMESHOPT_COMPACT) && !(flags & D3DXMESHOPT_IGNOREVERTS)) {
            std::vector<DWORD> newOfOld(m_numVertices, 0xFFFFFFFF);
            for (size_t i = 0; i < size_t(m_numFaces) * 3; ++i) newOfOld[GetIndex(i)] = 0;
            DWORD next = 0;
            for (DWORD v = 0; v < m_numVertices; ++v)
                if (newOfOld[v] == 0) {
                    newOfOld[v] = next++;
                    vertexOld.push_back(v);
                }
            if (next == 0) return D3DXERR_INVALIDMESH;
            if (next < m_numVertices) {
                std::vector<BYTE> packed(size_t(next) * m_stride);
                for (DWORD v = 0; v < next; ++v)
                    memcpy(packed.data() + size_t(v) * m_stride, m_vertices.data() + size_t(vertexOld[v]) * m_stride,
                           m_stride);
                m_vertices.swap(packed);
                for (size_t i = 0; i < size_t(m_numFaces) * 3; ++i) SetIndex(i, newOfOld[GetIndex(i)]);
                m_numVertices = next;
                HRESULT hr = CreateDeviceBuffers();
                if (FAILED(hr)) return hr;
            }
        }
        if (flags & (D3DXMESHOPT_ATTRSORT | D3DXMESHOPT_VERTEXCACHE | D3DXMESHOPT_STRIPREORDER)) BuildAttributeTable();
        if (faceRemap)
            for (DWORD nf = 0; nf < m_numFaces; ++nf) faceRemap[nf] = order[nf];
        if (adjacencyOut) {
            std::vector<DWORD> adj(size_t(m_numFaces) * 3, 0xFFFFFFFF);
            if (adjacencyIn)
                for (DWORD nf = 0; nf < m_numFaces; ++nf)
                    for (int k = 0; k < 3; ++k) {
                        DWORD o = adjacencyIn[size_t(order[nf]) * 3 + k];
                        adj[size_t(nf) * 3 + k] = o < m_numFaces ? newOfOldFace[o] : 0xFFFFFFFF;
                    }
            std::copy(adj.begin(), adj.end(), adjacencyOut);
        }
        if (vertexRemap && !vertexOld.empty() && SUCCEEDED(D3DXCreateBuffer(
                                                     DWORD(vertexOld.size() * sizeof(DWORD)), vertexRemap)))
            memcpy((*vertexRemap)->GetBufferPointer(), vertexOld.data(), vertexOld.size() * sizeof(DWORD));
        return Upload();
    }

    // Host-side access for the loaders and helpers in this file.
    BYTE* VertexData() { return m_vertices.data(); }
    const D3DVERTEXELEMENT9* Find(BYTE usage, BYTE index) const {
        for (const D3DVERTEXELEMENT9& e : m_decl)
            if (e.Stream != 0xFF && e.Usage == usage && e.UsageIndex == index) return &e;
        return nullptr;
    }
    DWORD GetIndex(size_t i) const {
        if (m_options & D3DXMESH_32BIT) {
            DWORD v;
            memcpy(&v, m_indices.data() + i * 4, 4);
            return v;
        }
        WORD v;
        memcpy(&v, m_indices.data() + i * 2, 2);
        return v;
    }
    void SetIndex(size_t i, DWORD value) {
        if (m_options & D3DXMESH_32BIT) {
            memcpy(m_indices.data() + i * 4, &value, 4);
        } else {
            WORD v = static_cast<WORD>(value);
            memcpy(m_indices.data() + i * 2, &v, 2);
        }
    }
    DWORD* Attributes() { return m_attributes.data(); }
    HRESULT Upload() {
        HRESULT hr = UploadVertices();
        return FAILED(hr) ? hr : UploadIndices();
    }

private:
    ~Mesh() {
        if (m_vb) m_vb->Release();
        if (m_ib) m_ib->Release();
        if (m_device) m_device->Release();
    }

    UINT IndexSize() const { return (m_options & D3DXMESH_32BIT) ? 4 : 2; }
    static UINT ElementSize(const D3DVERTEXELEMENT9& e) {
        D3DVERTEXELEMENT9 one[2] = {e, D3DDECL_END()};
        one[0].Offset = 0;
        return D3DXGetDeclVertexSize(one, 0);
    }

    HRESULT CreateDeviceBuffers() {
        if (m_vb) m_vb->Release();
        if (m_ib) m_ib->Release();
        m_vb = nullptr;
        m_ib = nullptr;
        if (!m_device) return D3D_OK;
        bool vbSystem = (m_options & D3DXMESH_VB_SYSTEMMEM) != 0, ibSystem = (m_options & D3DXMESH_IB_SYSTEMMEM) != 0;
        if (vbSystem || ibSystem) return D3D_OK;  // drawn from host memory
        D3DPOOL vbPool = (m_options & D3DXMESH_VB_MANAGED) ? D3DPOOL_MANAGED : D3DPOOL_DEFAULT;
        D3DPOOL ibPool = (m_options & D3DXMESH_IB_MANAGED) ? D3DPOOL_MANAGED : D3DPOOL_DEFAULT;
        HRESULT hr = m_device->CreateVertexBuffer(UINT(m_vertices.size()), 0, 0, vbPool, &m_vb, nullptr);
        if (FAILED(hr)) {
            m_vb = nullptr;
            return hr;
        }
        hr = m_device->CreateIndexBuffer(UINT(m_indices.size()), 0,
                                         (m_options & D3DXMESH_32BIT) ? D3DFMT_INDEX32 : D3DFMT_INDEX16, ibPool, &m_ib,
                                         nullptr);
        if (FAILED(hr)) {
            m_ib = nullptr;
            m_vb->Release();
            m_vb = nullptr;
            return hr;
        }
        return D3D_OK;
    }

    static HRESULT Copy(IDirect3DVertexBuffer9* vb, const std::vector<BYTE>& data) {
        void* p = nullptr;
        HRESULT hr = vb->Lock(0, 0, &p, 0);
        if (FAILED(hr)) return hr;
        memcpy(p, data.data(), data.size());
        return vb->Unlock();
    }
    static HRESULT Copy(IDirect3DIndexBuffer9* ib, const std::vector<BYTE>& data) {
        void* p = nullptr;
        HRESULT hr = ib->Lock(0, 0, &p, 0);
        if (FAILED(hr)) return hr;
        memcpy(p, data.data(), data.size());
        return ib->Unlock();
    }
    HRESULT UploadVertices() { return m_vb ? Copy(m_vb, m_vertices) : D3D_OK; }
    HRESULT UploadIndices() { return m_ib ? Copy(m_ib, m_indices) : D3D_OK; }

    void BuildAttributeTable() {
        m_attribTable.clear();
        for (DWORD f = 0; f < m_numFaces;) {
            DWORD id = m_attributes[f], start = f;
            DWORD lo = 0xFFFFFFFF, hi = 0;
            while (f < m_numFaces && m_attributes[f] == id) {
                for (int k = 0; k < 3; ++k) {
                    DWORD v = GetIndex(size_t(f) * 3 + k);
                    lo = std::min(lo, v);
                    hi = std::max(hi, v);
                }
                ++f;
            }
            D3DXATTRIBUTERANGE r = {id, start, f - start, lo, hi - lo + 1};
            m_attribTable.push_back(r);
        }
    }

    DWORD m_options;
    IDirect3DDevice9* m_device;
    std::vector<D3DVERTEXELEMENT9> m_decl;  // with the end marker
    UINT m_stride = 0;
    DWORD m_numFaces = 0;
    DWORD m_numVertices = 0;
    std::vector<BYTE> m_vertices;
    std::vector<BYTE> m_indices;
    std::vector<DWORD> m_attributes;
    std::vector<D3DXATTRIBUTERANGE> m_attribTable;
    IDirect3DVertexBuffer9* m_vb = nullptr;
    IDirect3DIndexBuffer9* m_ib = nullptr;
    int m_vbLocks = 0;
    int m_ibLocks = 0;
};

struct Vec3 {
    float x, y, z;
};
Vec3 Sub(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec3 Add(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Vec3 Scale(Vec3 a, float s) { return {a.x * s, a.y * s, a.z * s}; }
float Dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Vec3 Cross(Vec3 a, Vec3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
Vec3 Unit(Vec3 a) {
    float len = std::sqrt(Dot(a, a));
    return len > 1e-20f ? Scale(a, 1.f / len) : Vec3{0, 0, 0};
}

Vec3 ReadVec3(const BYTE* p) {
    Vec3 v;
    memcpy(&v, p, sizeof v);
    return v;
}
void WriteVec3(BYTE* p, Vec3 v) { memcpy(p, &v, sizeof v); }

// Any unit vector perpendicular to n.
Vec3 Perpendicular(Vec3 n) {
    Vec3 axis = std::fabs(n.x) < 0.9f ? Vec3{1, 0, 0} : Vec3{0, 1, 0};
    return Unit(Cross(n, axis));
}

Mesh* AsOurs(ID3DXBaseMesh* mesh) { return static_cast<Mesh*>(mesh); }

}  // namespace

HRESULT D3DXLoadMeshFromXA(LPCSTR filename, DWORD options, IDirect3DDevice9* device, ID3DXBuffer** adjacency,
                           ID3DXBuffer** materials, ID3DXBuffer** effectInstances, DWORD* numMaterials,
                           ID3DXMesh** mesh) {
    if (effectInstances) *effectInstances = nullptr;
    if (!filename || !device || !mesh) return D3DERR_INVALIDCALL;
    xfile::MeshData data;
    HRESULT hr = xfile::ParseFile(filename, data);
    if (hr == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)) return D3DERR_NOTFOUND;
    if (FAILED(hr)) return hr;

    const DWORD numFaces = static_cast<DWORD>(data.indices.size() / 3);
    const DWORD numVertices = static_cast<DWORD>(data.vertices.size());
    if (numVertices > 0xFFFF) options |= D3DXMESH_32BIT;
    D3DVERTEXELEMENT9 decl[MAX_FVF_DECL_SIZE];
    D3DXDeclaratorFromFVF(D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1, decl);
    Mesh* m = new (std::nothrow) Mesh(options, device);
    if (!m) return E_OUTOFMEMORY;
    hr = m->Init(decl, numFaces, numVertices);
    if (FAILED(hr)) {
        m->Release();
        return hr;
    }
    static_assert(sizeof(xfile::Vertex) == 32, "the X file vertex is the loaded layout");
    memcpy(m->VertexData(), data.vertices.data(), data.vertices.size() * sizeof(xfile::Vertex));
    for (size_t i = 0; i < data.indices.size(); ++i) m->SetIndex(i, data.indices[i]);
    std::copy(data.attributes.begin(), data.attributes.end(), m->Attributes());
    hr = m->Upload();

    // Adjacency: faces that share an edge (by vertex position).
    ID3DXBuffer* adj = nullptr;
    if (SUCCEEDED(hr) && adjacency) {
        hr = D3DXCreateBuffer(numFaces * 3 * sizeof(DWORD), &adj);
        if (SUCCEEDED(hr)) {
            DWORD* out = static_cast<DWORD*>(adj->GetBufferPointer());
            std::fill(out, out + size_t(numFaces) * 3, 0xFFFFFFFF);
            std::map<std::vector<float>, DWORD> point;
            std::vector<DWORD> rep(numVertices);
            for (DWORD v = 0; v < numVertices; ++v) {
                const float* p = data.vertices[v].pos;
                rep[v] = point.emplace(std::vector<float>{p[0], p[1], p[2]}, v).first->second;
            }
            std::map<std::pair<DWORD, DWORD>, DWORD> edges;  // directed edge -> face
            for (DWORD f = 0; f < numFaces; ++f)
                for (int k = 0; k < 3; ++k)
                    edges.emplace(std::make_pair(rep[data.indices[f * 3 + k]], rep[data.indices[f * 3 + (k + 1) % 3]]),
                                  f);
            for (DWORD f = 0; f < numFaces; ++f)
                for (int k = 0; k < 3; ++k) {
                    auto it = edges.find(std::make_pair(rep[data.indices[f * 3 + (k + 1) % 3]],
                                                        rep[data.indices[f * 3 + k]]));
                    if (it != edges.end() && it->second != f) out[f * 3 + k] = it->second;
                }
        }
    }
    // Materials: the records, then the texture names they point to.
    ID3DXBuffer* mat = nullptr;
    if (SUCCEEDED(hr) && materials) {
        size_t bytes = data.materials.size() * sizeof(D3DXMATERIAL);
        for (const xfile::Material& x : data.materials)
            if (!x.texture.empty()) bytes += x.texture.size() + 1;
        hr = D3DXCreateBuffer(static_cast<DWORD>(bytes), &mat);
        if (SUCCEEDED(hr)) {
            BYTE* base = static_cast<BYTE*>(mat->GetBufferPointer());
            D3DXMATERIAL* out = reinterpret_cast<D3DXMATERIAL*>(base);
            char* names = reinterpret_cast<char*>(base + data.materials.size() * sizeof(D3DXMATERIAL));
            for (size_t i = 0; i < data.materials.size(); ++i) {
                const xfile::Material& x = data.materials[i];
                D3DMATERIAL9& d = out[i].MatD3D;
                memset(&d, 0, sizeof d);
                d.Diffuse = {x.diffuse[0], x.diffuse[1], x.diffuse[2], x.diffuse[3]};
                d.Specular = {x.specular[0], x.specular[1], x.specular[2], 1.f};
                d.Emissive = {x.emissive[0], x.emissive[1], x.emissive[2], 1.f};
                d.Power = x.power;
                out[i].pTextureFilename = nullptr;
                if (!x.texture.empty()) {
                    memcpy(names, x.texture.c_str(), x.texture.size() + 1);
                    out[i].pTextureFilename = names;
                    names += x.texture.size() + 1;
                }
            }
        }
    }
    if (FAILED(hr)) {
        if (adj) adj->Release();
        if (mat) mat->Release();
        m->Release();
        return hr;
    }
    if (adjacency) *adjacency = adj;
    if (materials) *materials = mat;
    if (numMaterials) *numMaterials = static_cast<DWORD>(data.materials.size());
    *mesh = m;
    return D3D_OK;
}

HRESULT D3DXComputeNormals(ID3DXBaseMesh* baseMesh, const DWORD*) {
    if (!baseMesh) return D3DERR_INVALIDCALL;
    Mesh* mesh = AsOurs(baseMesh);
    const D3DVERTEXELEMENT9* pos = mesh->Find(D3DDECLUSAGE_POSITION, 0);
    const D3DVERTEXELEMENT9* nrm = mesh->Find(D3DDECLUSAGE_NORMAL, 0);
    if (!pos || !nrm || pos->Type != D3DDECLTYPE_FLOAT3 || nrm->Type != D3DDECLTYPE_FLOAT3) return D3DERR_INVALIDCALL;
    const DWORD stride = mesh->GetNumBytesPerVertex(), nv = mesh->GetNumVertices(), nf = mesh->GetNumFaces();
    BYTE* v = mesh->VertexData();
    std::vector<Vec3> sum(nv, Vec3{0, 0, 0});
    for (DWORD f = 0; f < nf; ++f) {
        DWORD i[3] = {mesh->GetIndex(f * 3), mesh->GetIndex(f * 3 + 1), mesh->GetIndex(f * 3 + 2)};
        Vec3 p0 = ReadVec3(v + size_t(i[0]) * stride + pos->Offset);
        Vec3 p1 = ReadVec3(v + size_t(i[1]) * stride + pos->Offset);
        Vec3 p2 = ReadVec3(v + size_t(i[2]) * stride + pos->Offset);
        Vec3 n = Unit(Cross(Sub(p1, p0), Sub(p2, p0)));
        for (DWORD k : i) sum[k] = Add(sum[k], n);
    }
    for (DWORD k = 0; k < nv; ++k) WriteVec3(v + size_t(k) * stride + nrm->Offset, Unit(sum[k]));
    return mesh->Upload();
}

HRESULT D3DXComputeTangent(ID3DXMesh* target, DWORD texStage, DWORD tangentIndex, DWORD binormIndex, DWORD,
                           const DWORD*) {
    if (!target) return D3DERR_INVALIDCALL;
    Mesh* mesh = AsOurs(target);
    const D3DVERTEXELEMENT9* pos = mesh->Find(D3DDECLUSAGE_POSITION, 0);
    const D3DVERTEXELEMENT9* nrm = mesh->Find(D3DDECLUSAGE_NORMAL, 0);
    const D3DVERTEXELEMENT9* uv = texStage < 8 ? mesh->Find(D3DDECLUSAGE_TEXCOORD, BYTE(texStage)) : nullptr;
    const D3DVERTEXELEMENT9* tan = tangentIndex < 8 ? mesh->Find(D3DDECLUSAGE_TANGENT, BYTE(tangentIndex)) : nullptr;
    const D3DVERTEXELEMENT9* bin =
        binormIndex == D3DX_DEFAULT ? nullptr : mesh->Find(D3DDECLUSAGE_BINORMAL, BYTE(binormIndex));
    if (!pos || !nrm || !uv || !tan || (binormIndex != D3DX_DEFAULT && !bin)) return D3DERR_INVALIDCALL;
    if (pos->Type != D3DDECLTYPE_FLOAT3 || nrm->Type != D3DDECLTYPE_FLOAT3 || FloatComponents(uv->Type) < 2 ||
        tan->Type != D3DDECLTYPE_FLOAT3 || (bin && bin->Type != D3DDECLTYPE_FLOAT3))
        return D3DERR_INVALIDCALL;
    const DWORD stride = mesh->GetNumBytesPerVertex(), nv = mesh->GetNumVertices(), nf = mesh->GetNumFaces();
    BYTE* v = mesh->VertexData();
    auto uvOf = [&](DWORD k, float* out) { memcpy(out, v + size_t(k) * stride + uv->Offset, 8); };
    // dP/du and dP/dv of every face, summed per vertex.
    std::vector<Vec3> su(nv, Vec3{0, 0, 0}), sv(nv, Vec3{0, 0, 0});
    for (DWORD f = 0; f < nf; ++f) {
        DWORD i[3] = {mesh->GetIndex(f * 3), mesh->GetIndex(f * 3 + 1), mesh->GetIndex(f * 3 + 2)};
        Vec3 p0 = ReadVec3(v + size_t(i[0]) * stride + pos->Offset);
        Vec3 e1 = Sub(ReadVec3(v + size_t(i[1]) * stride + pos->Offset), p0);
        Vec3 e2 = Sub(ReadVec3(v + size_t(i[2]) * stride + pos->Offset), p0);
        float t0[2], t1[2], t2[2];
        uvOf(i[0], t0);
        uvOf(i[1], t1);
        uvOf(i[2], t2);
        float du1 = t1[0] - t0[0], dv1 = t1[1] - t0[1], du2 = t2[0] - t0[0], dv2 = t2[1] - t0[1];
        float det = du1 * dv2 - du2 * dv1;
        if (std::fabs(det) < 1e-12f) continue;
        float r = 1.f / det;
        Vec3 dpdu = Scale(Sub(Scale(e1, dv2), Scale(e2, dv1)), r);
        Vec3 dpdv = Scale(Sub(Scale(e2, du1), Scale(e1, du2)), r);
        for (DWORD k : i) {
            su[k] = Add(su[k], dpdu);
            sv[k] = Add(sv[k], dpdv);
        }
    }
    for (DWORD k = 0; k < nv; ++k) {
        Vec3 n = Unit(ReadVec3(v + size_t(k) * stride + nrm->Offset));
        if (Dot(n, n) == 0) n = Vec3{0, 0, 1};
        Vec3 t = Unit(Sub(su[k], Scale(n, Dot(n, su[k]))));
        if (Dot(t, t) == 0) t = Perpendicular(n);
        WriteVec3(v + size_t(k) * stride + tan->Offset, t);
        if (bin) {
            Vec3 b = Sub(sv[k], Add(Scale(n, Dot(n, sv[k])), Scale(t, Dot(t, sv[k]))));
            b = Unit(b);
            if (Dot(b, b) == 0) b = Unit(Cross(n, t));
            WriteVec3(v + size_t(k) * stride + bin->Offset, b);
        }
    }
    return mesh->Upload();
}
