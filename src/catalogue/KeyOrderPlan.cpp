#include "catalogue/KeyOrderPlan.h"

#include <QHash>
#include <algorithm>
#include <functional>
#include <queue>
#include <tuple>
#include <vector>

namespace quarvex {

namespace {

// Node i of the graph is the i-th ticked table from the top of the list.
using Graph = std::vector<std::vector<int>>;

struct TickedTables {
    QList<int> rows;
    QList<ListEntry> entries;
    QHash<qint32, int> nodeOfId;
};

TickedTables tickedTables(const ObjectList& list) {
    TickedTables tables;
    for (int row = 0; row < list.count(); ++row) {
        if (!list.isChecked(row))
            continue;
        const ListEntry entry = list.entry(row);
        if (entry.object.kind != ObjectKind::Table)
            continue;
        tables.nodeOfId.insert(entry.object.id, int(tables.rows.size()));
        tables.rows.append(row);
        tables.entries.append(entry);
    }
    return tables;
}

// needs[v]: the ticked tables that table v references.
Graph needsOf(const TickedTables& tables, const QList<TableReference>& references) {
    Graph needs(tables.rows.size());
    for (const TableReference& reference : references) {
        const int from = tables.nodeOfId.value(reference.referencing, -1);
        const int to = tables.nodeOfId.value(reference.referenced, -1);
        if (from >= 0 && to >= 0 && from != to)
            needs[from].push_back(to);
    }
    return needs;
}

// Tarjan's strongly connected components: tables that reach each other
// through their references share a number. Without recursion, so that a
// long chain of tables cannot exhaust the stack.
std::vector<int> componentsOf(const Graph& needs) {
    const int count = int(needs.size());
    std::vector<int> index(count, -1), low(count, 0), component(count, -1);
    std::vector<bool> onStack(count, false);
    std::vector<int> stack;
    std::vector<std::pair<int, size_t>> calls; // node, next reference to follow
    int visited = 0;
    int components = 0;
    const auto enter = [&](int v) {
        index[v] = low[v] = visited++;
        stack.push_back(v);
        onStack[v] = true;
        calls.emplace_back(v, 0);
    };
    for (int root = 0; root < count; ++root) {
        if (index[root] >= 0)
            continue;
        enter(root);
        while (!calls.empty()) {
            const int v = calls.back().first;
            if (calls.back().second < needs[v].size()) {
                const int w = needs[v][calls.back().second++];
                if (index[w] < 0)
                    enter(w);
                else if (onStack[w])
                    low[v] = std::min(low[v], index[w]);
                continue;
            }
            if (low[v] == index[v]) {
                int w = -1;
                do {
                    w = stack.back();
                    stack.pop_back();
                    onStack[w] = false;
                    component[w] = components;
                } while (w != v);
                ++components;
            }
            calls.pop_back();
            if (!calls.empty())
                low[calls.back().first] = std::min(low[calls.back().first], low[v]);
        }
    }
    return component;
}

// The stable order as a ready queue by list position: a table is ready once
// the tables it waits for are placed. Within a cycle each table waits for the
// one above it instead of the ones it references, so the cycle keeps the
// user's order and the queue never runs dry.
std::vector<int> loadOrder(const Graph& needs, const std::vector<int>& component) {
    const int count = int(needs.size());
    Graph waiting(count);
    std::vector<int> pending(count, 0);
    std::vector<int> lastOfComponent(count, -1);
    const auto wait = [&](int v, int forNode) {
        waiting[forNode].push_back(v);
        ++pending[v];
    };
    for (int v = 0; v < count; ++v) {
        for (const int w : needs[v])
            if (component[w] != component[v])
                wait(v, w);
        int& above = lastOfComponent[component[v]];
        if (above >= 0)
            wait(v, above);
        above = v;
    }
    std::priority_queue<int, std::vector<int>, std::greater<int>> ready;
    for (int v = 0; v < count; ++v)
        if (pending[v] == 0)
            ready.push(v);
    std::vector<int> order;
    while (!ready.empty()) {
        const int v = ready.top();
        ready.pop();
        order.push_back(v);
        for (const int w : waiting[v])
            if (--pending[w] == 0)
                ready.push(w);
    }
    Q_ASSERT(int(order.size()) == count);
    return order;
}

QString ownerAndName(const ListEntry& entry) {
    return entry.object.owner + QLatin1Char('.') + entry.object.name;
}

QList<QStringList> cyclesOf(const TickedTables& tables, const std::vector<int>& component) {
    std::vector<int> size(component.size(), 0);
    for (const int c : component)
        ++size[c];
    QHash<int, qsizetype> cycleOfComponent;
    QList<QStringList> cycles;
    for (size_t v = 0; v < component.size(); ++v) {
        if (size[component[v]] < 2)
            continue;
        if (!cycleOfComponent.contains(component[v])) {
            cycleOfComponent.insert(component[v], cycles.size());
            cycles.append(QStringList());
        }
        cycles[cycleOfComponent.value(component[v])].append(ownerAndName(tables.entries[v]));
    }
    return cycles;
}

// Both ends ticked and in one component: a key to the table itself, or a
// key within a cycle.
bool isLoopKey(const TickedTables& tables, const std::vector<int>& component,
               const TableReference& reference) {
    const int from = tables.nodeOfId.value(reference.referencing, -1);
    const int to = tables.nodeOfId.value(reference.referenced, -1);
    return from >= 0 && to >= 0 && component[from] == component[to];
}

// Any other table counts here, ticked or not: the server refuses to truncate
// a table that a key refers to, whether the referencing table has rows or
// not. Loop keys do not: a script empties the tables of a cycle by deletes.
QStringList referencedOf(const TickedTables& tables, const std::vector<int>& component,
                         const QList<TableReference>& references) {
    std::vector<bool> referenced(tables.rows.size(), false);
    for (const TableReference& reference : references) {
        const int to = tables.nodeOfId.value(reference.referenced, -1);
        if (to >= 0 && reference.referencing != reference.referenced &&
            !isLoopKey(tables, component, reference))
            referenced[to] = true;
    }
    QStringList names;
    for (size_t v = 0; v < referenced.size(); ++v)
        if (referenced[v])
            names.append(ownerAndName(tables.entries[v]));
    return names;
}

QList<LoopKey> loopKeysOf(const TickedTables& tables, const std::vector<int>& component,
                          const QList<TableReference>& references) {
    QList<std::tuple<int, QString, qint32>> found;
    for (const TableReference& reference : references)
        if (isLoopKey(tables, component, reference))
            found.append({tables.nodeOfId.value(reference.referencing), reference.name,
                          reference.referenced});
    std::sort(found.begin(), found.end());
    QList<LoopKey> keys;
    for (const auto& [node, name, referenced] : found)
        keys.append(LoopKey{tables.entries[node].object, name, referenced});
    return keys;
}

QStringList selfReferencingOf(const TickedTables& tables, const QList<TableReference>& references) {
    std::vector<bool> self(tables.rows.size(), false);
    for (const TableReference& reference : references)
        if (reference.referencing == reference.referenced &&
            tables.nodeOfId.contains(reference.referencing))
            self[tables.nodeOfId.value(reference.referencing)] = true;
    QStringList names;
    for (size_t v = 0; v < self.size(); ++v)
        if (self[v])
            names.append(ownerAndName(tables.entries[v]));
    return names;
}

} // namespace

KeyOrderPlan planKeyOrder(const ObjectList& list, const QList<TableReference>& references) {
    const TickedTables tables = tickedTables(list);
    const Graph needs = needsOf(tables, references);
    const std::vector<int> component = componentsOf(needs);

    KeyOrderPlan plan;
    plan.rows = tables.rows;
    const std::vector<int> order = loadOrder(needs, component);
    for (size_t position = 0; position < order.size(); ++position) {
        plan.entries.append(tables.entries[order[position]]);
        if (order[position] != int(position))
            ++plan.moved;
    }
    plan.cycles = cyclesOf(tables, component);
    plan.selfReferencing = selfReferencingOf(tables, references);
    plan.loopKeys = loopKeysOf(tables, component, references);
    plan.referenced = referencedOf(tables, component, references);
    return plan;
}

} // namespace quarvex
