"""The first screen of a start on a store with many rows: the dashboard sums the documents up from the file
and makes only the recent projects it shows, so its counts, its cards and the documents under an orb are
checked against the store itself, on a store where the rows shown are neither the first nor the last."""

from harness import Failure, case, resize_window, seeded_session, wait_until

STATUSES = ("done", "in_progress", "needs_changes", "Done", "", "done")


def fill_many(seed):
    projects = [seed.project(f"Projet {i:02d}") for i in range(40)]
    for i in range(150):
        seed.doc(projects[(i * 7) % len(projects)], f"Document {i:03d}")
    c = seed.conn
    # Statuses of every kind (an unknown or wrongly cased one reads as in progress), some documents
    # hidden, and dates that do not follow the order the rows were written in.
    for i, (rowid,) in enumerate(c.execute('SELECT rowid FROM "Doc" ORDER BY rowid').fetchall()):
        c.execute('UPDATE "Doc" SET statusRaw = ?, updatedAt = updatedAt + ?, deletedAt = ? WHERE rowid = ?',
                  (STATUSES[i % len(STATUSES)], ((i * 37) % 150) * 1_000_000,
                   seed.t if i % 11 == 3 else None, rowid))
    for i, (rowid,) in enumerate(c.execute('SELECT rowid FROM "Project" ORDER BY rowid').fetchall()):
        c.execute('UPDATE "Project" SET updatedAt = updatedAt + ?, deletedAt = ? WHERE rowid = ?',
                  (((i * 13) % 40) * 10_000_000, seed.t if i in (8, 21) else None, rowid))


def shown_in_order(session, names, what):
    """Each name is a showing control, top to bottom in the given order."""
    tops = []
    for name in names:
        acc = session.find(None, name, timeout=5)
        tops.append(session.extents(acc)[1])
    if tops != sorted(tops):
        raise Failure(f"{what}: {names} are not shown in that order (tops {tops})")


@case
def startup_dashboard_of_a_large_store_matches_the_store(app):
    session = seeded_session(app, "startup", fill_many)
    resize_window(session, 1100, 720)
    q = session.query
    counts = {
        "Terminé": q('SELECT count(*) FROM "Doc" WHERE deletedAt IS NULL AND statusRaw = \'done\'')[0][0],
        "À modifier": q('SELECT count(*) FROM "Doc" WHERE deletedAt IS NULL AND statusRaw = \'needs_changes\'')[0][0],
    }
    counts["En cours"] = q('SELECT count(*) FROM "Doc" WHERE deletedAt IS NULL')[0][0] - sum(counts.values())
    for name, count in counts.items():
        orb = session.find("push button", name)
        wait_until(f"the orb « {name} » showing {count}", lambda: orb.description == str(count), timeout=5)

    recent = [name for (name,) in q('SELECT name FROM "Project" WHERE deletedAt IS NULL '
                                    'ORDER BY updatedAt DESC, rowid LIMIT 4')]
    shown_in_order(session, recent[:2], "the recent projects")
    for name in recent:
        session.find(None, name, timeout=5)

    # Under an orb: the newest documents of that status, each with its project's name.
    session.click(session.find("push button", "Terminé"))
    session.find("label", "Documents terminé", timeout=5)
    rows = q('SELECT d.title, p.name FROM "Doc" d JOIN "Project" p ON p.id = d.project '
             'WHERE d.deletedAt IS NULL AND d.statusRaw = \'done\' ORDER BY d.updatedAt DESC, d.rowid LIMIT 12')
    shown_in_order(session, [title for title, _ in rows[:6]], "the documents under « Terminé »")
    for title, project in rows:
        row = session.find("push button", title, timeout=5)
        session.find("label", project, root=row, timeout=5)
    session.close()
