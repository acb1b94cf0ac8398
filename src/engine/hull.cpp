// The convex hull of the dual points (a_i, b_i, d_i), with CGAL's quickhull on exact
// predicates: plane i is lowest at (x, y) exactly where its point minimizes (x, y, 1) . p, so
// only hull vertices with a facet below them can be lowest on a region of positive area, and
// the hull's edges are the candidate boundaries between regions.
#include <CGAL/Exact_predicates_inexact_constructions_kernel.h>
#include <CGAL/Surface_mesh.h>
#include <CGAL/boost/graph/helpers.h>
#include <CGAL/convex_hull_3.h>

#include <algorithm>
#include <tuple>

#include "engine/internals.hpp"

namespace engine::detail {

hull_graph lower_hull_graph(std::span<const plane> sorted_points) {
    using kernel = CGAL::Epick;
    using mesh_type = CGAL::Surface_mesh<kernel::Point_3>;
    std::vector<kernel::Point_3> points;
    points.reserve(sorted_points.size());
    for (const plane& p : sorted_points) points.emplace_back(p.a, p.b, p.d);
    mesh_type mesh;
    CGAL::convex_hull_3(points.begin(), points.end(), mesh);

    // The hull keeps the given coordinates, so each vertex is found among the sorted points.
    const auto key = [](const plane& p) { return std::tie(p.a, p.b, p.d); };
    std::vector<std::uint32_t> index(mesh.num_vertices());  // removed ones included
    for (const auto v : mesh.vertices()) {
        const kernel::Point_3& q = mesh.point(v);
        const plane wanted{q.x(), q.y(), q.z()};
        const auto found =
            std::lower_bound(sorted_points.begin(), sorted_points.end(), wanted,
                             [&](const plane& l, const plane& r) { return key(l) < key(r); });
        index[v] = static_cast<std::uint32_t>(found - sorted_points.begin());
    }

    hull_graph graph;
    const std::size_t n = sorted_points.size();
    graph.candidate.assign(n, 0);
    graph.offsets.assign(n + 1, 0);
    // A flat hull (the points on one plane or one line) is all boundary: every vertex is a
    // candidate, and the exact clipping decides. A solid hull's facets are oriented outwards;
    // one whose (a, b) shadow turns clockwise has its outer normal pointing down in d.
    const bool solid = mesh.number_of_faces() > 0 && CGAL::is_closed(mesh);
    if (solid) {
        const kernel::Orientation_2 orientation;
        for (const auto f : mesh.faces()) {
            std::array<std::uint32_t, 3> corner{};
            int k = 0;
            for (const auto v : CGAL::vertices_around_face(mesh.halfedge(f), mesh))
                if (k < 3) corner[k++] = index[v];
            const auto shadow = [&](std::uint32_t i) {
                return kernel::Point_2(sorted_points[i].a, sorted_points[i].b);
            };
            if (orientation(shadow(corner[0]), shadow(corner[1]), shadow(corner[2])) ==
                CGAL::RIGHT_TURN)
                for (const std::uint32_t i : corner) graph.candidate[i] = 1;
        }
    } else {
        for (const auto v : mesh.vertices()) graph.candidate[index[v]] = 1;
    }

    // Neighbours along the hull's edges; two lone vertices (points on a line) neighbour
    // each other.
    std::vector<std::vector<std::uint32_t>> around(n);
    if (mesh.number_of_edges() == 0) {
        std::vector<std::uint32_t> lone;
        for (const auto v : mesh.vertices()) lone.push_back(index[v]);
        for (const std::uint32_t i : lone)
            for (const std::uint32_t j : lone)
                if (i != j) around[i].push_back(j);
    } else {
        for (const auto e : mesh.edges()) {
            const std::uint32_t i = index[mesh.vertex(e, 0)], j = index[mesh.vertex(e, 1)];
            around[i].push_back(j);
            around[j].push_back(i);
        }
    }
    for (std::size_t i = 0; i < n; ++i) graph.offsets[i + 1] = graph.offsets[i] + around[i].size();
    graph.neighbours.reserve(graph.offsets[n]);
    for (const auto& list : around)
        graph.neighbours.insert(graph.neighbours.end(), list.begin(), list.end());
    return graph;
}

}  // namespace engine::detail
