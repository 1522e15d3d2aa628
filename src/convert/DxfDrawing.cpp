#include "convert/DxfDrawing.h"

#include <dxflib/dl_creationadapter.h>
#include <dxflib/dl_dxf.h>

#include <charconv>
#include <cstdio>
#include <memory>
#include <optional>
#include <sstream>

#include "convert/DxfGroups.h"
#include "settings/Strings.h"

namespace {
// More points than this in one spline is not a drawing but damage.
constexpr size_t kMaxSplinePoints = 200000;

enum class Kind { Line, Point, Circle, Arc, Ellipse, LwPolyline, Polyline, Vertex, Seqend, Spline, Insert, End };

constexpr size_t kNoSlot = static_cast<size_t>(-1);

// What the library's callbacks for one entity need beyond what the library reads itself: where
// the entity goes (its place in file order is kept for it), its flags, and the vertices of a
// light-weight polyline.
struct EntityNote {
    Kind kind = Kind::End;
    std::vector<DrawingEntity>* container = nullptr;
    size_t slot = kNoSlot;
    int flags = 0;
    std::vector<PolylineVertex> lwVertices;
};

bool Flat(Kind k) { return k == Kind::Line || k == Kind::Point || k == Kind::Circle || k == Kind::Arc; }

// The values of a flat entity (LINE, POINT, CIRCLE, ARC), read here rather than by the library:
// the library reads every number through a string stream, about a microsecond each, and these
// entities make up the bulk of a big drawing.
struct FlatValues {
    double v[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};  // 10 20 30 11 21 31 40 50 51 210 220 230
    static int Index(int code) {
        switch (code) {
            case 10: return 0;
            case 20: return 1;
            case 30: return 2;
            case 11: return 3;
            case 21: return 4;
            case 31: return 5;
            case 40: return 6;
            case 50: return 7;
            case 51: return 8;
            case 210: return 9;
            case 220: return 10;
            case 230: return 11;
            default: return -1;
        }
    }
    NcPoint P(int i) const { return NcPoint{v[i], v[i + 1], v[i + 2]}; }
    DxfVector Normal() const { return DxfVector{v[9], v[10], v[11]}; }
};

int IntValue(std::string_view s) {
    std::string_view t = TrimBlanks(s);
    if (!t.empty() && t[0] == '+') t.remove_prefix(1);
    long long v = 0;
    auto res = std::from_chars(t.data(), t.data() + t.size(), v);
    if (res.ec != std::errc()) return 0;
    if (v > 2147483647LL) return 2147483647;
    if (v < -2147483647LL) return -2147483647;
    return static_cast<int>(v);
}

bool KindOf(const std::string& name, Kind& kind) {
    static const std::pair<const char*, Kind> kinds[] = {
        {"LINE", Kind::Line},         {"POINT", Kind::Point},       {"CIRCLE", Kind::Circle},
        {"ARC", Kind::Arc},           {"ELLIPSE", Kind::Ellipse},   {"LWPOLYLINE", Kind::LwPolyline},
        {"POLYLINE", Kind::Polyline}, {"VERTEX", Kind::Vertex},     {"SEQEND", Kind::Seqend},
        {"SPLINE", Kind::Spline},     {"INSERT", Kind::Insert}};
    for (const auto& [n, k] : kinds)
        if (name == n) {
            kind = k;
            return true;
        }
    return false;
}

// The pairs the library reads, in the layout it reads them: a code line and a value line.
class Feed {
public:
    void Pair(int code, std::string_view value) {
        text_ += std::to_string(code);
        text_ += '\n';
        text_ += value;
        text_ += '\n';
    }
    void Real(int code, double v) {
        text_ += std::to_string(code);
        text_ += '\n';
        AppendExactNumber(text_, v);
        text_ += '\n';
    }
    void Int(int code, int v) { Pair(code, std::to_string(v)); }
    // A group as read, its value put into the form the library reads safely.
    void Group(const DxfGroup& g) {
        switch (DxfValueKindOf(g.code)) {
            case DxfValueKind::Real: Real(g.code, DxfNumber(g.value)); break;
            case DxfValueKind::Text: Pair(g.code, BlockKey(g.value)); break;
            default: Int(g.code, IntValue(g.value)); break;
        }
    }
    std::string& Text() { return text_; }

private:
    std::string text_;
};

// Reads the groups, keeps the BLOCKS and ENTITIES sections and writes the feed and the notes.
class FrontEnd {
public:
    FrontEnd(Drawing& drawing, Feed& feed, std::vector<EntityNote>& notes)
        : drawing_(drawing), feed_(feed), notes_(notes) {}

    DrawingRead Read(std::string_view bytes) {
        DxfGroupReader reader(bytes);
        DxfGroup g;
        bool sawEof = false;
        while (reader.Next(g)) {
            if (g.code == 0) {
                FinishEntity();
                std::string name = UpperCase1252(TrimBlanks(g.value));
                if (name == "EOF") {
                    sawEof = true;
                    break;
                }
                if (name == "SECTION") {
                    inSection_ = true;
                    wantSectionName_ = true;
                    section_ = Section::Other;
                } else if (name == "ENDSEC") {
                    inSection_ = false;
                    section_ = Section::None;
                    block_ = nullptr;
                } else if (section_ == Section::Blocks || section_ == Section::Entities) {
                    StartEntity(std::move(name));
                }
                continue;
            }
            if (wantSectionName_ && g.code == 2) {
                std::string name = UpperCase1252(TrimBlanks(g.value));
                if (name == "HEADER") sawSection_ = true, section_ = Section::Other;
                else if (name == "BLOCKS") sawSection_ = true, section_ = Section::Blocks;
                else if (name == "ENTITIES") sawSection_ = true, section_ = Section::Entities;
                wantSectionName_ = false;
                continue;
            }
            wantSectionName_ = false;
            if (gathering_) Gather(g);
        }
        FinishEntity();
        CloseSequence();
        feed_.Pair(0, "EOF");
        notes_.push_back(EntityNote{});
        if (!sawSection_) return DrawingRead::NotADrawing;
        if (reader.Broken() || (!sawEof && inSection_)) return DrawingRead::Broken;
        return DrawingRead::Ok;
    }

private:
    enum class Section { None, Other, Blocks, Entities };

    void StartEntity(std::string name) {
        gathering_ = true;
        name_ = std::move(name);
        groups_.clear();
        note_ = EntityNote{};
        flat_ = FlatValues{};
        if (!KindOf(name_, note_.kind)) note_.kind = Kind::End;
    }

    void Gather(const DxfGroup& g) {
        if (Flat(note_.kind)) {
            int i = FlatValues::Index(g.code);
            if (i >= 0) flat_.v[i] = DxfNumber(g.value);
            else if (g.code == 67) paperSpace_ = IntValue(g.value) != 0;
            return;
        }
        // The vertices of a light-weight polyline are read here: a drawing may hold millions.
        if (note_.kind == Kind::LwPolyline) {
            auto& v = note_.lwVertices;
            switch (g.code) {
                case 10: v.push_back(PolylineVertex{DxfNumber(g.value), 0, 0, 0}); return;
                case 20: if (!v.empty()) v.back().y = DxfNumber(g.value); return;
                case 42: if (!v.empty()) v.back().bulge = DxfNumber(g.value); return;
                case 30: case 40: case 41: case 90: case 91: return;
                default: break;
            }
        }
        if (g.code == 67) paperSpace_ = IntValue(g.value) != 0;
        if (g.code == 70) note_.flags = IntValue(g.value);
        // Extended data, handles, reactors, colours and layers are not needed.
        if (g.code == 2 || (g.code >= 10 && g.code <= 59) || (g.code >= 70 && g.code <= 79) ||
            (g.code >= 210 && g.code <= 239))
            groups_.push_back(g);
    }

    // Where the entity being finished belongs; null when it is not drawn at all.
    std::vector<DrawingEntity>* Container(bool paperSpace) const {
        if (section_ == Section::Blocks) return block_ ? &block_->entities : nullptr;
        if (section_ == Section::Entities && !paperSpace) return &drawing_.entities;
        return nullptr;
    }
    LeftOutCounts& LeftOut() { return block_ && section_ == Section::Blocks ? block_->leftOut : drawing_.leftOut; }

    void FinishEntity() {
        if (!gathering_) return;
        gathering_ = false;
        bool paper = paperSpace_;
        paperSpace_ = false;
        if (section_ == Section::Blocks && name_ == "BLOCK") return StartBlock();
        if (name_ == "ENDBLK") {
            block_ = nullptr;
            return;
        }
        // A block's attribute definitions show only as the attributes of its inserts.
        if (section_ == Section::Blocks && name_ == "ATTDEF") return;
        if (note_.kind == Kind::Vertex || note_.kind == Kind::Seqend) return SequenceMember();
        CloseSequence();
        note_.container = Container(paper);
        if (!note_.container) {
            skippingSequence_ = note_.kind == Kind::Polyline;
            return;
        }
        switch (note_.kind) {
            case Kind::End: LeftOut().Add(name_); return;
            case Kind::Line: note_.container->push_back(LineEntity{flat_.P(0), flat_.P(3)}); return;
            case Kind::Point: note_.container->push_back(PointEntity{flat_.P(0)}); return;
            case Kind::Circle:
                note_.container->push_back(CircleEntity{flat_.P(0), flat_.v[6], flat_.Normal()});
                return;
            case Kind::Arc:
                note_.container->push_back(ArcEntity{flat_.P(0), flat_.v[6], flat_.v[7], flat_.v[8], flat_.Normal()});
                return;
            case Kind::Polyline:
                if (note_.flags & (16 | 64)) {  // polygon and polyface meshes are surfaces
                    LeftOut().Add(name_);
                    skippingSequence_ = true;
                    return;
                }
                inPolyline_ = true;
                break;
            case Kind::Spline:
                if (!FeedSpline()) LeftOut().Add(name_);
                return;
            default: break;
        }
        bool light = note_.kind == Kind::LwPolyline;
        Emit();
        if (light) feed_.Int(90, 0);  // the vertices travel in the note
    }

    void Emit() {
        feed_.Pair(0, name_);
        for (const DxfGroup& g : groups_) feed_.Group(g);
        KeepPlace();
        notes_.push_back(std::move(note_));
    }

    // The library's entity takes this place in its container when the library has read it.
    void KeepPlace() {
        if (note_.kind == Kind::Vertex || note_.kind == Kind::Seqend || !note_.container) return;
        note_.slot = note_.container->size();
        note_.container->emplace_back();
    }

    void StartBlock() {
        std::string name;
        NcPoint base;
        for (const DxfGroup& g : groups_) {
            if (g.code == 2 && name.empty()) name = g.value;
            if (g.code == 10) base.x = DxfNumber(g.value);
            if (g.code == 20) base.y = DxfNumber(g.value);
            if (g.code == 30) base.z = DxfNumber(g.value);
        }
        auto [it, fresh] = drawing_.blocks.try_emplace(BlockKey(name));
        if (!fresh) {
            // A second definition under the same name: the first one stands.
            scratch_ = DrawingBlock{};
            block_ = &scratch_;
            return;
        }
        block_ = &it->second;
        block_->base = base;
    }

    void SequenceMember() {
        if (skippingSequence_) {
            if (note_.kind == Kind::Seqend) skippingSequence_ = false;
            return;
        }
        if (!inPolyline_) return;  // attributes after an insert, or a stray vertex
        note_.container = notes_.empty() ? nullptr : notes_.back().container;
        if (note_.kind == Kind::Seqend) inPolyline_ = false;
        Emit();
    }

    void CloseSequence() {
        skippingSequence_ = false;
        if (!inPolyline_) return;
        inPolyline_ = false;
        feed_.Pair(0, "SEQEND");
        EntityNote n;
        n.kind = Kind::Seqend;
        notes_.push_back(std::move(n));
    }

    // The library sizes its arrays by the counts 72, 73 and 74 and trusts them; they are
    // given as the data that follows holds them.
    bool FeedSpline() {
        size_t knots = 0, control = 0, fit = 0;
        for (const DxfGroup& g : groups_) {
            if (g.code == 40) ++knots;
            if (g.code == 10) ++control;
            if (g.code == 11) ++fit;
        }
        if (knots > kMaxSplinePoints || control > kMaxSplinePoints || fit > kMaxSplinePoints) return false;
        feed_.Pair(0, name_);
        feed_.Int(72, static_cast<int>(knots));
        feed_.Int(73, static_cast<int>(control));
        feed_.Int(74, static_cast<int>(fit));
        for (const DxfGroup& g : groups_)
            if (g.code != 72 && g.code != 73 && g.code != 74) feed_.Group(g);
        KeepPlace();
        notes_.push_back(std::move(note_));
        return true;
    }

    Drawing& drawing_;
    Feed& feed_;
    std::vector<EntityNote>& notes_;
    Section section_ = Section::None;
    bool inSection_ = false;
    bool wantSectionName_ = false;
    bool sawSection_ = false;
    bool gathering_ = false;
    bool paperSpace_ = false;
    bool inPolyline_ = false;
    bool skippingSequence_ = false;
    std::string name_;
    std::vector<DxfGroup> groups_;
    EntityNote note_;
    FlatValues flat_;
    DrawingBlock* block_ = nullptr;
    DrawingBlock scratch_;
};

DxfVector Normal(DL_CreationInterface& ci) {
    const double* d = ci.getExtrusion()->getDirection();
    return DxfVector{d[0], d[1], d[2]};
}

// The library's callbacks, turned into drawing entities. The note of the entity being
// finished says where it belongs.
class Adapter : public DL_CreationAdapter {
public:
    explicit Adapter(std::vector<EntityNote>& notes) : notes_(notes) {}

    void processCodeValuePair(unsigned int code, const std::string&) override {
        if (code != 0) return;
        closing_ = current_;
        if (next_ < notes_.size()) current_ = next_++;
    }

    void addEllipse(const DL_EllipseData& d) override {
        Add(EllipseEntity{NcPoint{d.cx, d.cy, d.cz}, NcPoint{d.mx, d.my, d.mz}, d.ratio, d.angle1, d.angle2,
                          Normal(*this)});
    }
    void addInsert(const DL_InsertData& d) override {
        Add(InsertEntity{d.name, NcPoint{d.ipx, d.ipy, d.ipz}, d.sx, d.sy, d.sz, d.angle, d.cols, d.rows,
                         d.colSp, d.rowSp, Normal(*this)});
    }

    void addPolyline(const DL_PolylineData& d) override {
        FinishOpen();
        EntityNote* note = Closing();
        if (!note || !note->container) return;
        PolylineEntity p;
        p.closed = d.flags & 1;
        p.is3d = d.flags & 8;
        p.elevation = getExtrusion()->getElevation();
        p.normal = Normal(*this);
        if (note->kind == Kind::LwPolyline) {
            p.vertices = std::move(note->lwVertices);
            for (auto& v : p.vertices) v.z = p.elevation;
        }
        open_ = std::move(p);
        openNote_ = note;
        spline_.reset();
    }
    void addVertex(const DL_VertexData& d) override {
        EntityNote* note = Closing();
        if (!open_ || !note || note->kind != Kind::Vertex) return;
        if (note->flags & 16) return;  // the frame of a spline-fit polyline is not drawn
        open_->vertices.push_back(PolylineVertex{d.x, d.y, open_->is3d ? d.z : open_->elevation, d.bulge});
    }

    void addSpline(const DL_SplineData& d) override {
        FinishOpen();
        EntityNote* note = Closing();
        if (!note || !note->container) return;
        spline_ = SplineEntity{};
        spline_->degree = static_cast<int>(d.degree);
        spline_->closed = (d.flags & 1) || (d.flags & 2);
        openNote_ = note;
    }
    void addControlPoint(const DL_ControlPointData& d) override {
        if (!spline_) return;
        spline_->controlPoints.push_back(NcPoint{d.x, d.y, d.z});
        spline_->weights.push_back(d.w);
    }
    void addFitPoint(const DL_FitPointData& d) override {
        if (spline_) spline_->fitPoints.push_back(NcPoint{d.x, d.y, d.z});
    }
    void addKnot(const DL_KnotData& d) override {
        if (spline_) spline_->knots.push_back(d.k);
    }

    void endEntity() override { FinishOpen(); }
    void endSequence() override { FinishOpen(); }

    void FinishOpen() {
        if (open_ && openNote_) Place(*openNote_, std::move(*open_));
        if (spline_ && openNote_) Place(*openNote_, std::move(*spline_));
        open_.reset();
        spline_.reset();
        openNote_ = nullptr;
    }

private:
    EntityNote* Closing() { return closing_ < notes_.size() ? &notes_[closing_] : nullptr; }
    void Add(DrawingEntity e) {
        if (EntityNote* note = Closing()) Place(*note, std::move(e));
    }
    static void Place(const EntityNote& note, DrawingEntity e) {
        if (note.container && note.slot < note.container->size()) (*note.container)[note.slot] = std::move(e);
    }

    std::vector<EntityNote>& notes_;
    size_t next_ = 0;
    size_t current_ = static_cast<size_t>(-1);
    size_t closing_ = static_cast<size_t>(-1);
    std::optional<PolylineEntity> open_;
    std::optional<SplineEntity> spline_;
    const EntityNote* openNote_ = nullptr;
};
}  // namespace

void LeftOutCounts::Add(std::string_view type, long long n) {
    auto [it, fresh] = index_.try_emplace(std::string(type), counts.size());
    if (fresh) counts.emplace_back(std::string(type), n);
    else counts[it->second].second += n;
}

void LeftOutCounts::Add(const LeftOutCounts& other, long long times) {
    for (const auto& [name, count] : other.counts) Add(name, count * times);
}

std::string BlockKey(std::string_view name) {
    std::string key = UpperCase1252(TrimBlanks(name));
    if (key.size() > 255) key.resize(255);
    return key;
}

DrawingRead ReadDrawing(std::string_view bytes, Drawing& drawing) {
    Feed feed;
    std::vector<EntityNote> notes;
    FrontEnd front(drawing, feed, notes);
    DrawingRead result = front.Read(bytes);
    if (result != DrawingRead::Ok) return result;

    Adapter adapter(notes);
    DL_Dxf dxf;
    // Reading an empty stream puts the library in its start state; the pairs then come
    // through its file reader, which reports each pair to the adapter before it acts on it.
    std::istringstream empty;
    dxf.in(empty, &adapter);
    std::string& text = feed.Text();
    std::unique_ptr<FILE, int (*)(FILE*)> f(fmemopen(text.data(), text.size(), "r"), &std::fclose);
    if (!f) return DrawingRead::Broken;
    while (dxf.readDxfGroups(f.get(), &adapter)) {
    }
    adapter.FinishOpen();
    return DrawingRead::Ok;
}
