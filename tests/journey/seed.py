"""Content written into a store the application made itself (so the schema is always its own),
while the application is not running."""

import sqlite3
import time
import uuid


def new_id():
    return str(uuid.uuid4()).upper()


def now_us():
    return int(time.time() * 1_000_000)


class Seed:
    def __init__(self, store_path):
        self.conn = sqlite3.connect(store_path)
        self.t = now_us() - 10_000_000

    def _stamp(self):
        self.t += 1000
        return self.t

    def close(self):
        self.conn.commit()
        self.conn.close()

    def project(self, name, color="blue", icon="folder"):
        pid, t = new_id(), self._stamp()
        self.conn.execute(
            'INSERT INTO "Project" (id, name, details, iconName, colorKey, colorHex, createdAt, updatedAt)'
            " VALUES (?, ?, NULL, ?, ?, NULL, ?, ?)", (pid, name, icon, color, t, t))
        return pid

    def doc(self, project, title, icon="doc.text"):
        did, t = new_id(), self._stamp()
        self.conn.execute(
            'INSERT INTO "Doc" (id, title, statusRaw, iconName, colorKey, colorHex, createdAt, updatedAt, project)'
            " VALUES (?, ?, 'in_progress', ?, 'blue', NULL, ?, ?, ?)", (did, title, icon, t, t, project))
        return did

    def block(self, doc, type_raw, order, content="", language=None):
        bid, t = new_id(), self._stamp()
        self.conn.execute(
            'INSERT INTO "DocBlock" (id, typeRaw, "order", content, stepTitle, codeLanguage, richTextData,'
            " imageData, isCompleted, createdAt, updatedAt, doc) VALUES (?, ?, ?, ?, NULL, ?, NULL, NULL, 0, ?, ?, ?)",
            (bid, type_raw, order, content, language, t, t, doc))
        return bid

    def checklist(self, name, project=None):
        cid, t = new_id(), self._stamp()
        self.conn.execute(
            'INSERT INTO "Checklist" (id, name, details, iconName, colorKey, colorHex, createdAt, updatedAt, project)'
            " VALUES (?, ?, NULL, 'checklist', 'blue', NULL, ?, ?, ?)", (cid, name, t, t, project))
        return cid

    def column(self, checklist, name, order, icon="square.stack.3d.up", color="blue"):
        cid, t = new_id(), self._stamp()
        self.conn.execute(
            'INSERT INTO "ChecklistColumn" (id, name, iconName, colorKey, colorHex, orderIndex, createdAt,'
            " updatedAt, checklist) VALUES (?, ?, ?, ?, NULL, ?, ?, ?, ?)", (cid, name, icon, color, order, t, t, checklist))
        return cid

    def card(self, column, title, order, notes=None):
        cid, t = new_id(), self._stamp()
        self.conn.execute(
            'INSERT INTO "ChecklistCard" (id, title, notes, orderIndex, createdAt, updatedAt, "column")'
            " VALUES (?, ?, ?, ?, ?, ?, ?)", (cid, title, notes, order, t, t, column))
        return cid
